// The spool reader against hand-built streams: a valid job decodes to its
// commands, settings and pixels, and every kind of damage is refused at the
// right offset without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "decoded_job.h"
#include "spool_builder.h"

namespace kvt::test {
namespace {

using spool::Command;

// A two-page job with bands of 2 rows: small enough to cut at every offset.
SpoolBuilder TwoPageJob() {
  SpoolBuilder b;
  b.Command(0x80).Page(3, 5, 2).Page(2, 2, 2).Command(0x81);
  return b;
}

TEST(SpoolReaderValid, DecodesCommandsSettingsAndPixels) {
  SettingsValues values;
  values.deviceName = u"KVT-RZ4 (copy 2)";
  values.orientation = 2;
  values.copies = 3;
  values.formName = u"3.5x5 inch";
  values.red = 80;
  values.green = 120;
  values.blue = 99;
  values.density = -7;
  values.sharpness = 4;
  values.border = 1;
  SpoolBuilder b;
  b.Command(0x80).Command(0x82).PageSetup(4, 3, values).ImageRows(4, 0, 2).ImageRows(4, 2, 1).Command(0x83);
  b.Command(0x81);

  DecodedJob job = DecodeJob(b.Bytes());
  ASSERT_TRUE(job.Valid()) << job.ErrorText();
  EXPECT_EQ(job.result.pages, 1u);
  EXPECT_EQ(job.commands,
            (std::vector<Command>{Command::StartDoc, Command::StartPage, Command::PageSetup, Command::ImageData,
                                  Command::ImageData, Command::EndPage, Command::EndDoc}));
  ASSERT_EQ(job.pages.size(), 1u);
  const DecodedPage &page = job.pages[0];
  EXPECT_EQ(page.settings.deviceName, "KVT-RZ4 (copy 2)");
  EXPECT_EQ(page.settings.orientation, 2);
  EXPECT_EQ(page.settings.copies, 3);
  EXPECT_EQ(page.settings.formName, "3.5x5 inch");
  EXPECT_EQ(page.settings.red, 80);
  EXPECT_EQ(page.settings.green, 120);
  EXPECT_EQ(page.settings.blue, 99);
  EXPECT_EQ(page.settings.density, -7);
  EXPECT_EQ(page.settings.sharpness, 4);
  EXPECT_EQ(page.settings.border, 1u);
  EXPECT_EQ(page.recordRows, (std::vector<uint32_t>{2, 1}));
  ASSERT_EQ(page.pixels.pixels.size(), 4u * 3 * 3);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      auto p = PatternPixel(x, y);
      EXPECT_EQ(page.pixels.At(x, y), (image::Rgb{p[0], p[1], p[2]})) << x << "," << y;
    }
  }
}

TEST(SpoolReaderValid, EmptyDocumentIsSixteenBytes) {
  SpoolBuilder b;
  b.Command(0x80).Command(0x81);
  ASSERT_EQ(b.Bytes().size(), 16u);
  DecodedJob job = DecodeJob(b.Bytes());
  EXPECT_TRUE(job.Valid()) << job.ErrorText();
  EXPECT_EQ(job.result.pages, 0u);
}

TEST(SpoolReaderValid, DocumentRestartedBetweenPagesContinues) {
  // What a device context reset leaves in the stream: START_DOC again.
  SpoolBuilder b;
  b.Command(0x80).Page(2, 2, 2).Command(0x80).Command(0x80).Page(3, 1, 1).Command(0x81);
  DecodedJob job = DecodeJob(b.Bytes());
  ASSERT_TRUE(job.Valid()) << job.ErrorText();
  EXPECT_EQ(job.result.pages, 2u);
  EXPECT_EQ(job.pages.size(), 2u);
}

TEST(SpoolReaderValid, NonLatinNamesDecodeToUtf8) {
  SettingsValues values;
  values.formName = u"\uFF2C\u30B5\u30A4\u30BA";  // the Japanese 3.5x5 name
  values.deviceName = std::u16string(u"A") + char16_t(0xD83D) + char16_t(0xDE00) + char16_t(0xDC00);
  SpoolBuilder b;
  b.Command(0x80).Command(0x82).PageSetup(1, 1, values).ImageRows(1, 0, 1).Command(0x83).Command(0x81);
  DecodedJob job = DecodeJob(b.Bytes());
  ASSERT_TRUE(job.Valid()) << job.ErrorText();
  EXPECT_EQ(job.pages[0].settings.formName, "\xEF\xBC\xAC\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA");
  // A surrogate pair joins; a lone low surrogate becomes U+FFFD.
  EXPECT_EQ(job.pages[0].settings.deviceName, "A\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(SpoolReaderValid, RowsArriveInBoundedChunksInPageOrder) {
  // One 2466-dot band of 400 rows is 2.9 MB: it must not be read whole.
  constexpr uint32_t kWidth = 2466;
  SpoolBuilder b;
  b.Command(0x80).Command(0x82).PageSetup(kWidth, 400).ImageRows(kWidth, 0, 400).Command(0x83).Command(0x81);
  struct ChunkCheck final : spool::SpoolVisitor {
    uint32_t nextRow = 0;
    size_t largest = 0;
    bool OnRows(uint32_t firstRow, uint32_t rowCount, std::span<const uint8_t> rgb) override {
      EXPECT_EQ(firstRow, nextRow);
      EXPECT_EQ(rgb.size(), size_t{rowCount} * kWidth * 3);
      nextRow += rowCount;
      largest = std::max(largest, rgb.size());
      return true;
    }
  } check;
  spool::MemorySource source(b.Bytes());
  spool::ReadResult result = spool::ReadSpool(source, check);
  EXPECT_FALSE(result.error);
  EXPECT_EQ(check.nextRow, 400u);
  EXPECT_LE(check.largest, size_t{1} << 20);
}

TEST(SpoolReaderValid, VisitorCanStopTheReader) {
  struct StopAtSetup final : spool::SpoolVisitor {
    int calls = 0;
    bool OnCommand(const spool::CommandRecord &r) override {
      ++calls;
      return r.command != Command::PageSetup;
    }
  } stop;
  SpoolBuilder b = TwoPageJob();
  spool::MemorySource source(b.Bytes());
  spool::ReadResult result = spool::ReadSpool(source, stop);
  EXPECT_TRUE(result.stoppedByVisitor);
  EXPECT_FALSE(result.error);
  EXPECT_EQ(stop.calls, 3);
}

// One kind of damage: how to build the stream, where the reader must stop
// and a word of its message.
struct Damage {
  const char *name;
  void (*build)(SpoolBuilder &);
  uint64_t offset;
  const char *message;
};

// A valid one-page stream with the given settings image.
void OnePage(SpoolBuilder &b, const SettingsValues &values) {
  b.Command(0x80).Command(0x82).PageSetup(2, 1, values).ImageRows(2, 0, 1).Command(0x83).Command(0x81);
}

// A document with a started 2 x 3 page: START_DOC 0, START_PAGE 8,
// PAGE_SETUP 16 (width 24, height 28, settings image 32..287), then the
// first IMAGE_DATA at 288 with its length at 296.
SpoolBuilder &OpenPage(SpoolBuilder &b, uint32_t width = 2, uint32_t height = 3) {
  return b.Command(0x80).Command(0x82).PageSetup(width, height);
}

const Damage kDamages[] = {
    {"BadFirstMarker", [](SpoolBuilder &b) { b.Word(0x4B56725B).Word(0x80).Command(0x81); }, 0, "marker"},
    {"BadMarkerLater", [](SpoolBuilder &b) { b.Command(0x80).Word(0x5A72564B).Word(0x81); }, 8, "marker"},
    {"UnknownCodeAbove", [](SpoolBuilder &b) { b.Command(0x80).Command(0x86); }, 12, "unknown command code 0x00000086"},
    {"UnknownCodeBelow", [](SpoolBuilder &b) { b.Command(0x7F); }, 4, "unknown command code 0x0000007F"},
    {"LittleEndianCode", [](SpoolBuilder &b) { b.Command(0x80000000); }, 4, "unknown command"},
    {"PageBeforeDoc", [](SpoolBuilder &b) { b.Command(0x82); }, 4, "START_PAGE out of order; expected START_DOC"},
    {"StartDocInsidePage", [](SpoolBuilder &b) { b.Command(0x80).Command(0x82).Command(0x80); }, 20,
     "START_DOC out of order; expected PAGE_SETUP"},
    {"ImageWithoutSetup", [](SpoolBuilder &b) { b.Command(0x80).Command(0x82).ImageRows(1, 0, 1); }, 20,
     "IMAGE_DATA out of order; expected PAGE_SETUP"},
    {"EndPageWithoutStart", [](SpoolBuilder &b) { b.Command(0x80).Command(0x83); }, 12, "END_PAGE out of order"},
    {"EndDocInsidePage", [](SpoolBuilder &b) { OpenPage(b).ImageRows(2, 0, 2).Command(0x81); }, 288 + 12 + 12 + 4,
     "END_DOC out of order; expected IMAGE_DATA (2 of 3 rows so far)"},
    {"EndPageBeforeAllRows", [](SpoolBuilder &b) { OpenPage(b).ImageRows(2, 0, 2).Command(0x83); }, 288 + 12 + 12 + 4,
     "END_PAGE out of order; expected IMAGE_DATA (2 of 3 rows so far)"},
    {"ImageAfterAllRows", [](SpoolBuilder &b) { OpenPage(b, 2, 1).ImageRows(2, 0, 1).ImageRows(2, 1, 1); },
     288 + 12 + 6 + 4, "IMAGE_DATA out of order; expected END_PAGE"},
    {"RowsOverrunPage", [](SpoolBuilder &b) { OpenPage(b).ImageRows(2, 0, 4); }, 296,
     "IMAGE_DATA of 4 rows overruns the page (0 of 3 rows so far)"},
    {"LengthNotWholeRows",
     [](SpoolBuilder &b) {
       OpenPage(b).Command(0x85).Word(7).Raw({1, 2, 3, 4, 5, 6, 7});
     },
     296, "IMAGE_DATA length 7 is not a whole number of rows of 6 bytes"},
    {"LengthZero", [](SpoolBuilder &b) { OpenPage(b).Command(0x85).Word(0); }, 296, "IMAGE_DATA length 0"},
    {"LengthBeyondFile",
     [](SpoolBuilder &b) {
       OpenPage(b).Command(0x85).Word(12).Raw({1, 2, 3});
     },
     296, "runs past the end of the stream (3 bytes left)"},
    {"HugeLengthBeyondFile", [](SpoolBuilder &b) { OpenPage(b, 65535, 65535).Command(0x85).Word(65535u * 3 * 20000); },
     296, "runs past the end"},
    {"ZeroWidth", [](SpoolBuilder &b) { OpenPage(b, 0, 3); }, 24, "page width 0"},
    {"ZeroHeight", [](SpoolBuilder &b) { OpenPage(b, 3, 0); }, 28, "page height 0"},
    {"HugeWidth", [](SpoolBuilder &b) { OpenPage(b, 65536, 3); }, 24, "page width 65536 is outside 1..65535"},
    {"PublicSizeNot220", [](SpoolBuilder &b) { OnePage(b, {.size = 212}); }, 32 + 68, "dmSize is 212"},
    {"PrivateSizeNot36", [](SpoolBuilder &b) { OnePage(b, {.driverExtra = 20}); }, 32 + 70, "dmDriverExtra is 20"},
    {"PrivateSignatureMissing", [](SpoolBuilder &b) { OnePage(b, {.signature = 0x344B5652}); }, 32 + 220, "signature"},
    {"DeviceNameUnterminated", [](SpoolBuilder &b) { OnePage(b, {.deviceName = std::u16string(32, u'x')}); }, 32,
     "device name is not terminated"},
    {"FormNameUnterminated", [](SpoolBuilder &b) { OnePage(b, {.formName = std::u16string(32, u'y')}); }, 32 + 102,
     "form name is not terminated"},
    {"DataAfterEndDoc", [](SpoolBuilder &b) { b.Command(0x80).Command(0x81).Word(0); }, 16, "data after END_DOC"},
    {"SecondDocument", [](SpoolBuilder &b) { b.Command(0x80).Command(0x81).Command(0x80).Command(0x81); }, 16,
     "data after END_DOC"},
    {"NoEndDoc", [](SpoolBuilder &b) { b.Command(0x80).Page(1, 1, 1); }, 288 + 12 + 3 + 8,
     "stream ends; expected START_PAGE or END_DOC"},
    {"EmptyStream", [](SpoolBuilder &) {}, 0, "stream ends; expected START_DOC"},
};

void PrintTo(const Damage &damage, std::ostream *out) { *out << damage.name; }

class SpoolReaderDamage : public testing::TestWithParam<Damage> {};

TEST_P(SpoolReaderDamage, IsRefusedAtItsOffset) {
  const Damage &damage = GetParam();
  SpoolBuilder b;
  damage.build(b);
  DecodedJob job = DecodeJob(b.Bytes());
  ASSERT_TRUE(job.result.error) << "accepted";
  EXPECT_EQ(job.result.error->offset, damage.offset) << job.ErrorText();
  EXPECT_NE(job.result.error->message.find(damage.message), std::string::npos) << job.ErrorText();
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpoolReaderDamage, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage> &info) { return info.param.name; });

TEST(SpoolReaderTruncation, EveryCutIsReportedWhereTheStreamEnds) {
  SpoolBuilder b = TwoPageJob();
  const std::vector<uint8_t> &full = b.Bytes();
  ASSERT_TRUE(DecodeJob(full).Valid());
  for (size_t cut = 0; cut < full.size(); ++cut) {
    DecodedJob job = DecodeJob(std::span(full.data(), cut));
    ASSERT_TRUE(job.result.error) << "cut at " << cut << " accepted";
    EXPECT_EQ(job.result.error->offset, b.ReportedOffsetForCut(cut)) << "cut at " << cut << ": " << job.ErrorText();
    const std::string &message = job.result.error->message;
    EXPECT_TRUE(message.find("stream ends") != std::string::npos ||
                message.find("past the end of the stream") != std::string::npos)
        << job.ErrorText();
  }
}

TEST(SpoolReaderTruncation, CutInsideAWordSaysHowMuchIsThere) {
  SpoolBuilder b = TwoPageJob();
  DecodedJob job = DecodeJob(std::span(b.Bytes().data(), 10));
  ASSERT_TRUE(job.result.error);
  EXPECT_EQ(job.result.error->offset, 8u);
  EXPECT_EQ(job.result.error->message, "stream ends after 2 of 4 bytes of a marker; expected START_PAGE or END_DOC");
  EXPECT_EQ(spool::FormatError(*job.result.error),
            "offset 8 (0x8): stream ends after 2 of 4 bytes of a marker; expected START_PAGE or END_DOC");
}

TEST(SpoolReaderCorruption, ChangedFramingIsRefusedAndNothingCrashes) {
  SpoolBuilder b = TwoPageJob();
  const std::vector<uint8_t> &full = b.Bytes();
  for (size_t i = 0; i < full.size(); ++i) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> damaged = full;
      damaged[i] ^= flip;
      DecodedJob job = DecodeJob(damaged);
      if (b.IsFramingByte(i)) {
        EXPECT_TRUE(job.result.error) << "byte " << i << " ^ " << int(flip) << " accepted";
      }
    }
  }
}

// What a framing-only read hands on: each record with its place and size,
// the settings image as sent and the image payloads as bytes.
struct FramedRecords final : spool::SpoolVisitor {
  std::vector<spool::CommandRecord> records;
  std::vector<std::vector<uint8_t>> settings, payloads;
  bool OnCommand(const spool::CommandRecord &r) override {
    records.push_back(r);
    if (r.command == Command::PageSetup) settings.emplace_back(r.settingsBytes.begin(), r.settingsBytes.end());
    if (r.command == Command::ImageData) payloads.emplace_back();
    return true;
  }
  bool OnImageBytes(std::span<const uint8_t> bytes) override {
    payloads.back().insert(payloads.back().end(), bytes.begin(), bytes.end());
    return true;
  }
};

spool::ReadResult ReadFraming(const std::vector<uint8_t> &bytes, FramedRecords &framed) {
  spool::MemorySource source(bytes);
  return spool::ReadSpool(source, framed, spool::Checks::Framing);
}

// What an abort or a failed write leaves: no START_DOC, a page of fewer
// rows than its setup gives, END_DOC without END_PAGE, data after END_DOC,
// an empty image record and a settings image the printer would refuse.
TEST(SpoolReaderFraming, TakesRecordsInAnyOrderThatTheJobCheckRefuses) {
  SettingsValues noSignature;
  noSignature.signature = 0;
  SpoolBuilder b;
  b.Command(0x82).PageSetup(3, 5, noSignature).ImageRows(3, 0, 2).Command(0x81).Word(spool::kMarker).Word(0x85).Word(0);
  b.Command(0x84).Word(0).Word(0).Raw(std::vector<uint8_t>(256, 0x5A));
  EXPECT_FALSE(DecodeJob(b.Bytes()).Valid());

  FramedRecords framed;
  spool::ReadResult result = ReadFraming(b.Bytes(), framed);
  ASSERT_FALSE(result.error) << spool::FormatError(*result.error);
  std::vector<Command> commands;
  uint64_t next = 0;
  for (const spool::CommandRecord &r : framed.records) {
    commands.push_back(r.command);
    EXPECT_EQ(r.offset, next) << "records follow each other without a gap";
    next = r.offset + r.size;
  }
  EXPECT_EQ(next, b.Bytes().size());
  EXPECT_EQ(commands, (std::vector<Command>{Command::StartPage, Command::PageSetup, Command::ImageData, Command::EndDoc,
                                            Command::ImageData, Command::PageSetup}));
  EXPECT_EQ(framed.records[1].size, 16u + 256);
  EXPECT_EQ(framed.records[1].settings, nullptr) << "a settings image that does not decode";
  const std::array<uint8_t, 256> image = MakeSettingsImage(noSignature);
  ASSERT_EQ(framed.settings.size(), 2u);
  EXPECT_EQ(framed.settings[0], std::vector<uint8_t>(image.begin(), image.end()));
  EXPECT_EQ(framed.settings[1], std::vector<uint8_t>(256, 0x5A));
  EXPECT_EQ(framed.records[5].width, 0u);
  ASSERT_EQ(framed.payloads.size(), 2u);
  ASSERT_EQ(framed.payloads[0].size(), 2u * 3 * 3);
  EXPECT_EQ(framed.payloads[0][3 * 3], PatternPixel(0, 1)[0]);
  EXPECT_EQ(framed.records[2].byteCount, 18u);
  EXPECT_TRUE(framed.payloads[1].empty());
}

// Framing is still checked: a cut inside a record is reported where the
// whole job check reports it; a cut between records is a shorter stream.
TEST(SpoolReaderFraming, EveryCutInsideARecordIsReportedWhereTheStreamEnds) {
  const SpoolBuilder b = TwoPageJob();
  FramedRecords whole;
  ASSERT_FALSE(ReadFraming(b.Bytes(), whole).error);
  std::vector<uint64_t> boundaries = {b.Bytes().size()};
  for (const spool::CommandRecord &r : whole.records) boundaries.push_back(r.offset);
  for (uint64_t cut = 0; cut <= b.Bytes().size(); ++cut) {
    std::vector<uint8_t> bytes(b.Bytes().begin(), b.Bytes().begin() + static_cast<ptrdiff_t>(cut));
    FramedRecords framed;
    spool::ReadResult result = ReadFraming(bytes, framed);
    if (std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end()) {
      EXPECT_FALSE(result.error) << "cut " << cut;
    } else {
      ASSERT_TRUE(result.error) << "cut " << cut;
      EXPECT_EQ(result.error->offset, b.ReportedOffsetForCut(cut)) << "cut " << cut;
    }
  }
  for (std::vector<uint8_t> bad : {std::vector<uint8_t>{0x4B, 0x56, 0x72, 0x5B, 0, 0, 0, 0x80},
                                   std::vector<uint8_t>{0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x86}}) {
    FramedRecords framed;
    EXPECT_TRUE(ReadFraming(bad, framed).error) << "a wrong marker or an unknown code";
  }
}

}  // namespace
}  // namespace kvt::test
