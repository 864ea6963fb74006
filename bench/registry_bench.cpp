// Key-tree deletion against a plain recursive delete on the same registry.
// DeleteRegKey walks down from the top for every leaf, so its cost grows
// with the depth of the tree; the reference visits each key once. Each
// iteration builds the same tree twice and times both deletions; the
// counters give both times and their ratio (goal: at most 3). Shapes: wide
// (every key a child of the top) and deep (chains of the given depth under
// the top), with 10^3 and 10^4 keys; a depth series shows the growth.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <scoped_handle.h>

#include <chrono>
#include <string>
#include <utility>

#include "registry/key_tree.h"

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;

const char kTop[] = "Software\\KvtBenchTree";

// `keys` keys below kTop in chains of `depth` keys.
void BuildTree(int keys, int depth) {
  kvt::ScopedKey top;
  RegCreateKeyExA(HKEY_CURRENT_USER, kTop, 0, NULL, 0, KEY_ALL_ACCESS, NULL, top.receive(), NULL);
  for (int made = 0, chain = 0; made < keys; ++chain) {
    kvt::ScopedKey parent;
    for (int level = 0; level < depth && made < keys; ++level, ++made) {
      kvt::ScopedKey child;
      std::string name = "k";
      name += std::to_string(chain);
      name += '_';
      name += std::to_string(level);
      RegCreateKeyExA(parent ? parent.get() : top.get(), name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                      child.receive(), NULL);
      parent = std::move(child);
    }
  }
}

// The reference: each key opened once, its subkeys deleted depth first.
LONG DeleteRecursively(HKEY parent, const char *name) {
  kvt::ScopedKey key;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, key.receive()) == ERROR_SUCCESS) {
    char sub[256];
    DWORD length = sizeof(sub);
    while (RegEnumKeyExA(key.get(), 0, sub, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS &&
           DeleteRecursively(key.get(), sub) == ERROR_SUCCESS) {
      length = sizeof(sub);
    }
    key.reset();
  }
  return RegDeleteKeyA(parent, name);
}

void BM_TreeDeletion(benchmark::State &state) {
  const int keys = static_cast<int>(state.range(0)), depth = static_cast<int>(state.range(1));
  double walk = 0, reference = 0;
  for (auto _ : state) {
    BuildTree(keys, depth);
    auto start = Clock::now();
    if (DeleteRegKey(HKEY_CURRENT_USER, kTop) != ERROR_SUCCESS) state.SkipWithError("DeleteRegKey failed");
    walk += std::chrono::duration<double>(Clock::now() - start).count();
    BuildTree(keys, depth);
    start = Clock::now();
    if (DeleteRecursively(HKEY_CURRENT_USER, kTop) != ERROR_SUCCESS) state.SkipWithError("reference failed");
    reference += std::chrono::duration<double>(Clock::now() - start).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["walk_ms"] = 1000 * walk / n;
  state.counters["recursive_ms"] = 1000 * reference / n;
  state.counters["ratio"] = reference > 0 ? walk / reference : 0;
}

BENCHMARK(BM_TreeDeletion)
    ->ArgNames({"keys", "depth"})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({1000, 10})
    ->Args({10000, 10})
    ->Args({1000, 100})
    ->Args({10000, 100})
    ->Args({1000, 500})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A tree whose last leaf has a name the ANSI code page cannot spell: the
// walk deletes every other key, meets that leaf once and ends, keeping it.
void BM_TreeEndingAtAnUnspellableLeaf(benchmark::State &state) {
  const int keys = static_cast<int>(state.range(0)), depth = static_cast<int>(state.range(1));
  const std::u16string leaf = u"Software\\KvtBenchTree\\\u4E2D\u6587";
  double walk = 0;
  for (auto _ : state) {
    BuildTree(keys, depth);
    kvt::ScopedKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(leaf.c_str()), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                    key.receive(), NULL);
    key.reset();
    const auto start = Clock::now();
    if (DeleteRegKey(HKEY_CURRENT_USER, kTop) != ERROR_FILE_NOT_FOUND)
      state.SkipWithError("the walk did not end at the leaf");
    walk += std::chrono::duration<double>(Clock::now() - start).count();
    RegDeleteKeyW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(leaf.c_str()));
    RegDeleteKeyA(HKEY_CURRENT_USER, kTop);
  }
  state.counters["walk_ms"] = 1000 * walk / static_cast<double>(state.iterations());
}

BENCHMARK(BM_TreeEndingAtAnUnspellableLeaf)
    ->ArgNames({"keys", "depth"})
    ->Args({0, 1})
    ->Args({1000, 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace kvt::bench
