#!/bin/sh
# kvtsetup.exe under Wine, run as a user runs it from a shell: a fresh
# prefix gets the sample package installed as far as Wine allows (the
# sample machine's registry keys imported, its files, drivers with the test
# configuration DLL, port monitors, printers, devices, INFs stored through
# SetupCopyOEMInfA, profiles through InstallColorProfileA); then the
# uninstall and the install run from the setup folder, and the prefix and
# the log are checked. Every step that Wine cannot prepare is named with
# its reason. Bad input and single exports show the calling conventions.
#   kvtsetup_under_wine.sh SOURCE_DIR PREFIX KVTSETUP_EXE KVTSETUP_DLL HELPER_EXE CONFIG_DLL MONITOR_DLL
set -u
source_dir=$1 prefix=$2 exe=$3 dll=$4 helper=$5 config=$6 monitor=$7
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine wineboot --init >/dev/null 2>&1
wineserver -w

# The setup folder, as a user unpacks the package with its installer.
setup="$prefix/drive_c/KVT Setup"
mkdir -p "$setup"
cp "$source_dir"/samples/package/* "$exe" "$dll" "$setup"/

# The sample machine's keys of both vendors and of the setup source path,
# its current user's keys under HKEY_CURRENT_USER.
user='HKEY_USERS\S-1-5-21-1004336348-1177238915-682003330-1000'
awk -v user="$user" '
  BEGIN { gsub(/\\\\/, "\\", user); print "REGEDIT4"; print "" }
  { sub(/\r$/, "") }
  /^\[/ {
    key = substr($0, 2, length($0) - 2)
    if (index(key, user) == 1) key = "HKEY_CURRENT_USER" substr(key, length(user) + 1)
    keep = key ~ /\\KVT Photo(\\|$)/ || key ~ /\\Lumen Office(\\|$)/ || key ~ /\\Orbis Imaging(\\|$)/ ||
           key ~ /\\Uninstall\\(KVT-RZ4|Lumen Office 300)$/ ||
           key ~ /\\Class\\\{4D36E979-E325-11CE-BFC1-08002BE10318\}/ ||
           key ~ /\\DeviceClasses\\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2\}/ ||
           key ~ /\\CurrentVersion\\Setup$/
    if (keep) print "[" key "]"
    next
  }
  /^;/ { next }
  keep { print }
' "$source_dir/samples/machine/registry.reg" | sed 's/$/\r/' > "$prefix/drive_c/kvt-sample.reg"
if wine reg import 'C:\kvt-sample.reg' >/dev/null 2>&1; then ok "the sample's registry keys imported"; else fail "registry import"; fi

prepared=$(wine "$helper" prepare "$(windows_path "$source_dir/samples/machine/drive_c")" \
  "$(windows_path "$config")" "$(windows_path "$monitor")" 2>&1) || fail "preparing the prefix"
echo "$prepared"

# The uninstall, from the setup folder.
cd "$setup" || exit 1
wine kvtsetup.exe uninstall 'C:\KVT Setup' > "$prefix/uninstall.out" 2> "$prefix/uninstall.err"
code=$?
[ $code -eq 0 ] && ok "uninstall exit status 0" || fail "uninstall exit status $code: $(cat "$prefix/uninstall.err")"
[ "$(tr -d '\r' < "$prefix/uninstall.err")" = "kvtsetup: done: the package was uninstalled" ] ||
  fail "uninstall said: $(cat "$prefix/uninstall.err")"
cmp -s "$prefix/uninstall.out" "$setup/KVTSetup.log" && ok "the log printed is the log written" ||
  fail "the printed log differs from KVTSetup.log"
# An action and its outcome, as two lines of the log.
logged() {
  tr -d '\r' < "$prefix/uninstall.out" | awk -v action="$1" -v outcome="$2" '
    found == 0 && previous == action && $0 == outcome { found = 1 } { previous = $0 } END { exit !found }' &&
    ok "logged: $1 $2" || fail "not logged: $1 $2"
}
logged 'DeletePrinter(KVT-RZ4)' '-->Success'
logged 'DeletePrinter(KVT-RZ4 (Copy 2))' '-->Success'
logged 'DeletePrinterDriver(KVT-RZ4 Studio)' '-->Success'
logged 'DeleteMonitor(KVT USB Port Monitor)' '-->Success'
logged 'DeleteMonitor(KVT Network Port Monitor)' '-->Success'
logged 'SetupDiCallClassInstaller(DIF_REMOVE,USB\Vid_FFF0&Pid_0104)' '-->Success'
logged 'KVT_RegDeleteLockedKey(-2147483646, SOFTWARE\KVT Photo\KVT-RZ4\Calibration)' '-->Success'
# Wine's Windows folder is C:\windows.
logged 'DeleteFile(C:\windows\System\KVTRZ4.HLP)' '-->Success'
logged 'DeleteFile(C:\windows\inf\kvtrz4.inf)' '-->Success'
logged 'RemoveDirectory(C:\windows\System\KVTRZ4)' '-->Success'
head -1 "$prefix/uninstall.out" | grep -q '^\*\*\* Log Start (' && tail -2 "$prefix/uninstall.out" | head -1 |
  grep -q '^\*\*\* Log Finish (' && ok "one run, from its start banner to its finish banner" || fail "banners"
cd / || exit 1
wine "$helper" check uninstalled || fail "the prefix after the uninstall"

# The install stores the INF again.
cd "$setup" || exit 1
out=$(wine kvtsetup.exe install 'C:\KVT Setup' 2>&1)
code=$?
[ $code -eq 0 ] && ok "install exit status 0" || fail "install exit status $code: $out"
case "$out" in
  *"SetupCopyOEMInf(C:\\KVT Setup\\kvtrz4.inf,C:\\KVT Setup)"*) ok "the install logged its copy" ;;
  *) fail "the install's log: $out" ;;
esac
cd / || exit 1
wine "$helper" check installed || fail "the prefix after the install"

# Bad input: a message, a status, nothing called.
expect() {
  want=$1 text=$2
  shift 2
  out=$(cd "$setup" && wine kvtsetup.exe "$@" 2>&1)
  code=$?
  case "$out" in
    *"$text"*) [ $code -eq "$want" ] && ok "kvtsetup $* -> $code" || fail "kvtsetup $*: status $code, not $want" ;;
    *) fail "kvtsetup $*: $out" ;;
  esac
}
expect 4 'holds no KvtSetup.ini' uninstall 'C:\windows'
expect 4 'cannot load the setup library C:\nowhere\KvtSetup.dll: the library or one that it needs is missing' \
  --dll 'C:\nowhere\KvtSetup.dll' uninstall 'C:\KVT Setup'
expect 2 'the setup library has no export KVT_Nothing' call KVT_Nothing --dir 'C:\KVT Setup'
expect 2 'KVT_RegDeleteKey takes 2 arguments' call KVT_RegDeleteKey x --dir 'C:\KVT Setup'
expect 2 'ROOT must be a registry root' call KVT_RegDeleteLockedKey HKEY_NOWHERE x --dir 'C:\KVT Setup'
# The calling conventions: a __cdecl export with a variable argument list,
# __stdcall exports with buffers and pointers.
expect 0 'KVT-RZ4 has -7 printers (ff)' call KVT_LogFileWrite '%s has %d printers (%x)' KVT-RZ4 -7 255 \
  --dir 'C:\KVT Setup'
expect 0 'buffer: "KVT-"' call KVT_GetKvtSetupIniString KVTSetup DriverName2 5 --dir 'C:\KVT Setup'
expect 0 'value: 9' call KVT_GetKvtSetupIniInt DelFile Count --dir 'C:\KVT Setup'
expect 0 'data: "C:\\KVT Setup"' call KVT_RegGetValue \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Setup' SourcePath 260 --dir 'C:\KVT Setup'
expect 0 'KVT_ClearWin98SetupReg returned 1' call KVT_ClearWin98SetupReg 'C:\KVT Setup' --dir 'C:\KVT Setup'
expect 0 'KVT_RegDeleteLockedKey ROOT KEYPATH' exports
exports=$(cd "$setup" && wine kvtsetup.exe exports 2>&1 | grep -c '^KVT_')
[ "$exports" -eq 32 ] && ok "the DLL offers all 32 exports" || fail "the DLL lists $exports exports"

wineserver -k 2>/dev/null
echo "not prepared under Wine:"
echo "$prepared" | grep '^not prepared:' | sed 's/^not prepared: /  /'
[ $failures -eq 0 ] && echo "kvtsetup under Wine: all checks passed" || echo "kvtsetup under Wine: $failures checks failed"
[ $failures -eq 0 ]
