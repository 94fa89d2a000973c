#include "common/private_profile.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <random>

#include "common/ini_write.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sarn {
namespace {

using namespace std::string_literals;

using Write = test::IniWrite;

struct WriteCase {
  const char* name;
  std::string before;
  Write write;
  std::string after;
};

// The expected files are what the Windows calls produce for the same write on the same file.
TEST(IniDocumentWrite, MatchesWindowsLayout) {
  const WriteCase cases[] = {
      {"new file", "", {"S", "k", "v"}, "[S]\r\nk=v\r\n"},
      {"new key at section end", "[S]\r\nk=v\r\n[T]\r\na=b\r\n", {"S", "k2", "v2"},
       "[S]\r\nk=v\r\nk2=v2\r\n[T]\r\na=b\r\n"},
      {"new section at file end, missing line end", "[S]\r\nk=v", {"T", "k", "v"}, "[S]\r\nk=v\r\n[T]\r\nk=v\r\n"},
      {"replace in place, case-insensitive", "[S]\r\nKey=v\r\n[T]\r\n", {"s", "KEY", "w"}, "[S]\r\nKey=w\r\n[T]\r\n"},
      {"blank lines and blanks vanish on rewrite", "\r\n  [ S ] junk\r\n\r\n  k  =  v  \r\n\r\n", {"S", "n", "1"},
       "[S]\r\nk=v\r\nn=1\r\n"},
      {"comments, bare words and bad headers are kept", "[S]\r\n;c\r\nfoo\r\n[bad\r\n=x\r\n", {"S", "n", "1"},
       "[S]\r\n;c\r\nfoo\r\n[bad\r\n=x\r\nn=1\r\n"},
      {"keys before any section stay first", "a=1\r\n[S]\r\n", {"", "b", "2"}, "a=1\r\nb=2\r\n[S]\r\n"},
      {"an empty header's keys are written without it", "[S]\r\n[]\r\nq=1\r\n", {"S", "n", "1"},
       "[S]\r\nn=1\r\nq=1\r\n"},
      {"LF and CR-only line ends", "[S]\rk=v\na=b\r", {"S", "k", "w"}, "[S]\r\nk=w\r\na=b\r\n"},
      {"first of duplicate keys", "[S]\r\nk=v\r\nk=w\r\n", {"S", "k", "x"}, "[S]\r\nk=x\r\nk=w\r\n"},
      {"first of duplicate sections", "[S]\r\nk=v\r\n[S]\r\nz=1\r\n", {"S", "z", "2"},
       "[S]\r\nk=v\r\nz=2\r\n[S]\r\nz=1\r\n"},
      {"bare word gains a value in place", "[S]\r\nk\r\nj=1\r\n", {"S", "k", "x"}, "[S]\r\nk=x\r\nj=1\r\n"},
      {"query names are trimmed", "[S]\r\nk=v\r\n", {" S ", "  k ", "x"}, "[S]\r\nk=x\r\n"},
      {"leading blanks of a value dropped, trailing kept", "", {"S", "k", " \t lead trail "},
       "[S]\r\nk=lead trail \r\n"},
      {"empty value", "", {"S", "k", ""}, "[S]\r\nk=\r\n"},
      {"NUL ends names and values", "[S]\r\nk=a\0b\r\nz\0y=1\r\n"s, {"S", "j", "x"}, "[S]\r\nk=a\r\nz=1\r\nj=x\r\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[S]\r\n", {"S", "j", "x"}, "\xEF\xBB\xBF[S]\r\nj=x\r\n"},
      {"high bytes kept", "", {"S", "k", "\x81\x8D\xFF"}, "[S]\r\nk=\x81\x8D\xFF\r\n"},
      {"non-ASCII letters do not fold", "[\xE9t\xE9]\r\nk=v\r\n", {"\xC9t\xC9", "k", "w"},
       "[\xE9t\xE9]\r\nk=v\r\n[\xC9t\xC9]\r\nk=w\r\n"},
      {"delete key keeps its header", "[S]\r\nk=v\r\n[T]\r\n", {"s", "K", nullptr}, "[S]\r\n[T]\r\n"},
      {"delete key searches later namesakes", "[S]\r\nk=v\r\n[S]\r\nz=1\r\n", {"S", "z", nullptr},
       "[S]\r\nk=v\r\n[S]\r\n"},
      {"delete first section only", "[S]\r\nk=v\r\n[s]\r\nj=1\r\n", {"S", nullptr, nullptr}, "[s]\r\nj=1\r\n"},
      {"delete the leading nameless keys", "x\r\n[S]\r\nk=v\r\n", {"", nullptr, nullptr}, "[S]\r\nk=v\r\n"},
      // A text value holding CR or LF is cut at the first of them: it must never inject lines.
      {"value cut at line end", "[S]\r\nk=v\r\n", {"S", "k", "a\r\nb=c"}, "[S]\r\nk=a\r\n"},
      {"value cut at lone CR", "", {"S", "k", "x\rb"}, "[S]\r\nk=x\r\n"},
      {"names cut at line end", "", {"S]\r\n[T", "k\nj", "v"}, "[S]]\r\nk=v\r\n"},
  };
  for (const WriteCase& c : cases) {
    IniDocument doc = IniDocument::Parse(c.before);
    test::ApplyWrite(doc, c.write);
    EXPECT_EQ(doc.Serialize(), c.after) << c.name;
  }
}

// Writes that change nothing leave the file byte for byte as it was, however odd it is.
TEST(IniDocumentWrite, NoChangeKeepsOddFileIntact) {
  const std::string odd = "  [S]\r\nk = v\r\n\r\n\n\r;c\rjunk\x01\xFF\0\r\n[T"s;
  const Write noChange[] = {
      {"S", "k", "v"}, {"S", "k", "\t v"}, {"S", "zz", nullptr}, {"Q", nullptr, nullptr}, {" s ", nullptr, nullptr},
      {"S", " k ", nullptr},
  };
  for (const Write& w : noChange) {
    IniDocument doc = IniDocument::Parse(odd);
    test::ApplyWrite(doc, w);
    EXPECT_FALSE(doc.Modified()) << w.section << "/" << (w.key ? w.key : "(null)");
    EXPECT_EQ(doc.Serialize(), odd);
  }
}

// What one write puts in the file may read back differently (a trailing blank, a key that looks like a header).
// The next edit, like the next Windows call, works on what the file reads back as.
TEST(IniDocumentWrite, LaterEditsSeeTheFileAsItReadsBack) {
  struct {
    const char* name;
    std::vector<Write> writes;
    const char* after;
  } const cases[] = {
      {"trailing blank written once", {{"S", "k", "trail "}}, "[S]\r\nk=trail \r\n"},
      {"trailing blank gone after the next change", {{"S", "k", "trail "}, {"S", "j", "1"}},
       "[S]\r\nk=trail\r\nj=1\r\n"},
      {"no-op leaves it", {{"S", "k", "trail "}, {"S", "zz", nullptr}}, "[S]\r\nk=trail \r\n"},
      {"rewriting the same text is a change again", {{"S", "k", "t "}, {"S", "k", "t "}, {"S", "j", "1"}},
       "[S]\r\nk=t\r\nj=1\r\n"},
      {"names keep trailing blanks until read back", {{" T ", " a ", "1"}, {"T", "b", "2"}},
       "[T]\r\na=1\r\nb=2\r\n"},
      {"a key that reads as a header", {{"S", "[h]", "1"}, {"h", "x", "2"}}, "[S]\r\n[h]\r\nx=2\r\n"},
      {"a key holding =", {{"S", "e=q", "1"}, {"S", "e", "2"}}, "[S]\r\ne=2\r\n"},
      {"nameless section comes back first", {{"", nullptr, nullptr}, {"S", "k", "1"}, {"", "top", "t"}},
       "top=t\r\n[S]\r\nk=1\r\n"},
  };
  for (const auto& c : cases) {
    IniDocument doc;
    for (const Write& w : c.writes) test::ApplyWrite(doc, w);
    EXPECT_EQ(doc.Serialize(), c.after) << c.name;
    // Reads agree with the file at every point.
    const IniDocument back = IniDocument::Parse(doc.Serialize());
    EXPECT_EQ(doc.SectionNames(), back.SectionNames()) << c.name;
    EXPECT_EQ(doc.GetString("S", "k", "-"), back.GetString("S", "k", "-")) << c.name;
  }
}

// Parsed text that only reads differently once rewritten: keys under an empty header, names cut at a NUL.
// Names that start with line ends: the writer and the lookups must pick the same name ("k", not the empty
// name), or a struct written under them is looked for on an older line.
TEST(IniDocumentWrite, NamesStartingWithLineEndsAreWrittenWhereLookupsFindThem) {
  IniDocument doc = IniDocument::Parse("=[\r\nk==[\r\n");
  const unsigned char bytes[2] = {1, 2};
  doc.SetStruct("\r\n", "\nk", bytes, sizeof bytes);
  EXPECT_EQ(doc.Serialize(), "=[\r\nk=010203\r\n");
  for (const IniDocument& d : {doc, IniDocument::Parse(doc.Serialize())}) {
    unsigned char back[2] = {};
    EXPECT_TRUE(d.GetStruct("\r\n", "\nk", back, sizeof back));
    EXPECT_EQ(back[1], 2);
  }
  // A line end after the name's start still ends it, in writes and lookups alike.
  doc.SetString("\n[x", "a\r\nb=c", "v");
  EXPECT_EQ(doc.GetString("[x", "a", "-"), "v");
  EXPECT_EQ(doc.GetString("\n[x", "a\r\nb=c", "-"), "v");
}

TEST(IniDocumentWrite, RewrittenOddTextIsReadBackBeforeTheNextEdit) {
  IniDocument doc = IniDocument::Parse("[S]\r\n[]\r\nq=1\r\n[T \0x]\r\nm=1\r\n"s);
  doc.SetString("S", "n", "1");
  EXPECT_EQ(doc.Serialize(), "[S]\r\nn=1\r\nq=1\r\n[T ]\r\nm=1\r\n");
  doc.SetString("S", "q", "2");  // q now belongs to S: replaced in place
  doc.SetString("T", "m", "2");  // "[T ]" reads back as T
  EXPECT_EQ(doc.Serialize(), "[S]\r\nn=1\r\nq=2\r\n[T]\r\nm=2\r\n");
}

// A name cut at a NUL right after a blank cannot be looked up, as with the Windows calls, but once the file is
// rewritten without the NUL it reads as the plain name and comes first. A write of that name must go to that
// line, or the old value shadows what was written.
TEST(IniDocumentWrite, AWriteOverANameCutAfterABlankIsWhatTheFileReadsBack) {
  const struct {
    const char* name;
    std::string file;
    const char* before;  // what the name reads as before the write
  } cases[] = {
      {"key cut after a blank", "[S]\r\nk\v\0x=old\r\n"s, "DEF"},
      {"a reachable namesake further down", "[S]\r\nk \0=old\r\nk=mid\r\n"s, "mid"},
      {"section cut after a blank", "[S\t\0x]\r\nk=old\r\n[T]\r\nk=t\r\n"s, "DEF"},
      {"the same text as the unreachable line", "[S]\r\nk\x1A\0=new\r\n"s, "DEF"},
  };
  for (const auto& c : cases) {
    IniDocument doc = IniDocument::Parse(c.file);
    EXPECT_EQ(doc.GetString("S", "k", "DEF"), c.before) << c.name;
    doc.SetString("S", "k", "new");
    EXPECT_TRUE(doc.Modified()) << c.name;
    EXPECT_EQ(doc.GetString("S", "k", "DEF"), "new") << c.name;
    const IniDocument back = IniDocument::Parse(doc.Serialize());
    EXPECT_EQ(back.GetString("S", "k", "DEF"), "new") << c.name << ": " << doc.Serialize();
    EXPECT_EQ(back.KeyNames("S"), std::vector<std::string>{"k"}) << c.name;
  }
}

// The reader takes EF BB BF as the UTF-8 mark only at the start of the file. A line that begins with those bytes
// behind a blank line must still be that line once the file is rewritten, not a header or a key without them.
TEST(IniDocumentWrite, ALineStartingWithTheMarkBytesStaysThatLine) {
  IniDocument doc = IniDocument::Parse("\r\n\xEF\xBB\xBF[Mouse]\r\nActive=2\r\n[P]\r\nk=1\r\n");
  ASSERT_FALSE(doc.HasSection("Mouse"));
  doc.SetInt("Mouse", "Active", 0);
  EXPECT_EQ(doc.Serialize(), "\r\n\xEF\xBB\xBF[Mouse]\r\nActive=2\r\n[P]\r\nk=1\r\n[Mouse]\r\nActive=0\r\n");
  const IniDocument back = IniDocument::Parse(doc.Serialize());
  EXPECT_EQ(back.GetInt("Mouse", "Active", -1), 0);
  EXPECT_EQ(back.GetInt("", "Active", -1), 2);

  // Behind a real mark the line stays as it is: the reader takes only one mark.
  IniDocument marked = IniDocument::Parse("\xEF\xBB\xBF\xEF\xBB\xBFk=1\r\n");
  marked.SetString("S", "j", "2");
  EXPECT_EQ(marked.Serialize(), "\xEF\xBB\xBF\xEF\xBB\xBFk=1\r\n[S]\r\nj=2\r\n");
}

TEST(IniDocumentWrite, ClearThenWriteHoldsExactlyTheNewKeys) {
  IniDocument doc = IniDocument::Parse("[Old]\r\na=1\r\n[Timer]\r\nCount=9\r\n");
  doc.Clear();
  doc.SetInt("Timer", "Count", -2);
  doc.SetString("Timer", "0", "x");
  EXPECT_EQ(doc.Serialize(), "[Timer]\r\nCount=-2\r\n0=x\r\n");
}

struct ReadCase {
  std::string file;
  const char* section;
  const char* key;
  const char* text;  // GetString with default "DEF"
  int number;        // GetInt with default -7
};

TEST(IniDocumentRead, TextsAndIntegersAsWindowsReadsThem) {
  const ReadCase cases[] = {
      {"[S]\r\nk=12\r\n", "S", "k", "12", 12},
      {"[S]\r\n k = -5 \r\n", "s", "K", "-5", -5},
      {"[S]\r\nk=+5\r\n", "S", "k", "+5", 5},
      {"[S]\r\nk=\"8\"\r\n", "S", "k", "8", 8},
      {"[S]\r\nk='abc'\r\n", "S", "k", "abc", 0},
      {"[S]\r\nk=\"abc\r\n", "S", "k", "\"abc", 0},
      {"[S]\r\nk=\"\r\n", "S", "k", "\"", 0},
      {"[S]\r\nk=''\r\n", "S", "k", "", -7},
      {"[S]\r\nk=\"a\"b\"\r\n", "S", "k", "a\"b", 0},
      {"[S]\r\nk=\r\n", "S", "k", "", -7},
      {"[S]\r\nk\r\n", "S", "k", "DEF", -7},
      {"[S]\r\n", "S", "k", "DEF", -7},
      {"", "S", "k", "DEF", -7},
      {"[S]\r\nk=12abc\r\n", "S", "k", "12abc", 12},
      {"[S]\r\nk=abc\r\n", "S", "k", "abc", 0},
      {"[S]\r\nk=- 5\r\n", "S", "k", "- 5", 0},
      {"[S]\r\nk=+-3\r\n", "S", "k", "+-3", 0},
      {"[S]\r\nk=\x01\x02" "9\r\n", "S", "k", "\x01\x02" "9", 9},
      {"[S]\r\nk=\xA0" "5\r\n", "S", "k", "\xA0" "5", 0},
      {"[S]\r\nk=4294967295\r\n", "S", "k", "4294967295", -1},
      {"[S]\r\nk=99999999999\r\n", "S", "k", "99999999999", 1215752191},
      {"[S]\r\nk=0x1F\r\n", "S", "k", "0x1F", 31},
      {"[S]\r\nk=-0x10\r\n", "S", "k", "-0x10", -16},
      {"[S]\r\nk=0X10\r\n", "S", "k", "0X10", 0},
      {"[S]\r\nk=0b101\r\n", "S", "k", "0b101", 5},
      {"[S]\r\nk=0o17\r\n", "S", "k", "0o17", 15},
      {"[S]\r\nk=0012\r\n", "S", "k", "0012", 12},
      // Integers are read through a 30-byte buffer: 29 significant bytes.
      {"[S]\r\nk=000000000000000000000000000000000000009\r\n", "S", "k",
       "000000000000000000000000000000000000009", 0},
      {"[S]\r\nk=1\r\n[S]\r\nj=3\r\n", "S", "j", "DEF", -7},
      {"[S]\r\nk=1\r\nk=2\r\n", "S", "k", "1", 1},
      {"[S]junk\r\nk=1\r\n", "S", "k", "1", 1},
      {"[a]b]\r\nk=1\r\n", "a]b", "k", "1", 1},
      {"[S]\r\n;c=1\r\n", "S", ";c", "1", 1},
      {"[S]\rk=1\rj=2", "S", "j", "2", 2},
      {"[S]\r\nk=v\x1A\r\n", "S", "k", "v", 0},
      {"\xEF\xBB\xBF[S]\r\nk=3\r\n", "S", "k", "3", 3},
      {"[S]\r\nk=a\0b\r\n"s, "S", "k", "a", 0},
  };
  for (const ReadCase& c : cases) {
    const IniDocument doc = IniDocument::Parse(c.file);
    EXPECT_EQ(doc.GetString(c.section, c.key, "DEF"), c.text) << c.file;
    EXPECT_EQ(doc.GetInt(c.section, c.key, -7), c.number) << c.file;
    EXPECT_EQ(doc.HasKey(c.section, c.key), std::string_view(c.text) != "DEF") << c.file;
  }
  EXPECT_EQ(IniDocument().GetString("S", "k", "def  "), "def");
}

std::string Letters(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

TEST(IniDocumentRead, LongTextsAreCutAsA2048ByteBufferCutsThem) {
  struct {
    std::size_t length;
    bool quoted;
    std::size_t expected;
  } const cases[] = {
      {2046, false, 2046}, {2047, false, 2047}, {2048, false, 2047}, {5000, false, 2047},
      {2046, true, 2046},  {2047, true, 2046},  {2048, true, 2047},  {2049, true, 2047},
  };
  for (const auto& c : cases) {
    const std::string value = Letters(c.length);
    const std::string file = "[S]\r\nk=" + (c.quoted ? "\"" + value + "\"" : value) + "\r\n";
    EXPECT_EQ(IniDocument::Parse(file).GetString("S", "k", ""), value.substr(0, c.expected))
        << c.length << (c.quoted ? " quoted" : "");
  }
  // Struct values are not read through the text buffer: a long one decodes whole.
  std::array<unsigned char, 2476> slot{};
  for (std::size_t i = 0; i < slot.size(); ++i) slot[i] = static_cast<unsigned char>(i * 7);
  IniDocument doc;
  doc.SetStruct("S", "Button1", slot.data(), slot.size());
  std::array<unsigned char, 2476> back{};
  ASSERT_TRUE(IniDocument::Parse(doc.Serialize()).GetStruct("S", "Button1", back.data(), back.size()));
  EXPECT_EQ(back, slot);
}

TEST(StructValue, EncodesUpperCaseWithChecksum) {
  const unsigned char data[] = {0x01, 0xAB, 0x10};
  EXPECT_EQ(EncodeStructValue(data, 3), "01AB10BC");
  EXPECT_EQ(EncodeStructValue(data, 0), "00");
  const unsigned char wrap[] = {0xFF, 0xFF};
  EXPECT_EQ(EncodeStructValue(wrap, 2), "FFFFFE");
}

TEST(StructValue, DecodesOnlyExactLengthAndMatchingChecksum) {
  struct {
    const char* text;
    bool ok;
  } const cases[] = {
      {"01AB10BC", true},   {"01ab10bc", true},   {"01AB10BD", false}, {"01AB10B", false},
      {"01AB10BC0", false}, {"01AB10BCC", false}, {"01AB10", false},   {"01AB1GBC", false},
      {" 01AB10BC", false}, {"01AB10BC ", false}, {"", false},         {"0x1AB10BC", false},
  };
  for (const auto& c : cases) {
    unsigned char buffer[3] = {9, 9, 9};
    EXPECT_EQ(DecodeStructValue(c.text, buffer, 3), c.ok) << c.text;
    const unsigned char expected[3] = {0x01, 0xAB, 0x10};
    const unsigned char untouched[3] = {9, 9, 9};
    EXPECT_EQ(std::memcmp(buffer, c.ok ? expected : untouched, 3), 0) << c.text << ": a failed read must not touch the buffer";
  }
  EXPECT_TRUE(DecodeStructValue("00", nullptr, 0));
  EXPECT_FALSE(DecodeStructValue("0000", nullptr, 1));
}

TEST(StructValue, MissingKeyLeavesBufferAndNullDataDeletes) {
  IniDocument doc = IniDocument::Parse("[S]\r\nst=1\r\nq=\"01AB10BC\"\r\n");
  unsigned char buffer[3] = {9, 9, 9};
  EXPECT_FALSE(doc.GetStruct("S", "missing", buffer, 3));
  EXPECT_FALSE(doc.GetStruct("S", "q", buffer, 3));  // quotes are not stripped for structs
  EXPECT_EQ(buffer[0], 9);
  doc.SetStruct("S", "st", nullptr, 3);
  EXPECT_EQ(doc.Serialize(), "[S]\r\nq=\"01AB10BC\"\r\n");
}

TEST(IniDocument, UntouchedJunkRoundTripsAndListsNames) {
  std::string junk = "\0\x01\r[\xFF]=\r\r\n\n[A]\rk=v\r\n[a]\nx\n[B"s + std::string(100000, 'z');
  const IniDocument doc = IniDocument::Parse(junk);
  EXPECT_EQ(doc.Serialize(), junk);
  EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"\xFF", "A", "a"}));
  EXPECT_EQ(doc.KeyNames("a"), std::vector<std::string>{"k"});
  EXPECT_TRUE(doc.HasSection(" A "));
  EXPECT_FALSE(doc.HasSection("B"));
}

TEST(IniDocument, DeletesUncoverTheNextEntryOfAName) {
  IniDocument doc = IniDocument::Parse("[S]\r\nk=1\r\nK=2\r\nx=0\r\n[s]\r\nk=3\r\nn=4\r\n");
  EXPECT_EQ(doc.GetString("S", "k", ""), "1");
  EXPECT_EQ(doc.GetString("S", "n", "-"), "-");  // only the first section of a name is read
  doc.DeleteKey("S", "k");
  EXPECT_EQ(doc.GetString("s", "K", ""), "2");
  EXPECT_EQ(doc.KeyNames("S"), (std::vector<std::string>{"K", "x"}));
  doc.SetString("S", "k", "5");  // lands on the key that now reads under the name
  EXPECT_EQ(doc.Serialize(), "[S]\r\nK=5\r\nx=0\r\n[s]\r\nk=3\r\nn=4\r\n");
  doc.DeleteSection("S");
  EXPECT_EQ(doc.GetString("S", "k", ""), "3");
  EXPECT_EQ(doc.GetString("S", "n", ""), "4");
  doc.SetString("T", "a", "6");
  doc.SetString("s", "n", "7");
  EXPECT_EQ(doc.Serialize(), "[s]\r\nk=3\r\nn=7\r\n[T]\r\na=6\r\n");
  doc.Clear();
  EXPECT_FALSE(doc.HasSection("s"));
  doc.SetString("s", "k", "8");
  EXPECT_EQ(doc.Serialize(), "[s]\r\nk=8\r\n");
}

// Any run of edits: every name reads from the edited document as it reads from the file the edits produce.
TEST(IniDocument, EditedDocumentReadsEveryNameAsItsFile) {
  const char* names[] = {"a", "A", "b", " b", "a\v", "", "c d", "B"};
  std::mt19937 random(7);
  const auto pick = [&] { return std::string(names[random() % std::size(names)]); };
  IniDocument doc = IniDocument::Parse("[a]\r\nb=1\r\nB=2\r\n[A]\r\na=3\r\n[b\v\0]\r\na=4\r\n"s);
  for (int step = 0; step < 3000; ++step) {
    const std::string section = pick(), key = pick();
    switch (random() % 8) {
      case 0: doc.DeleteKey(section, key); break;
      case 1: doc.DeleteSection(section); break;
      default: doc.SetString(section, key, std::to_string(step)); break;
    }
    const IniDocument file = IniDocument::Parse(doc.Serialize());
    ASSERT_EQ(doc.SectionNames(), file.SectionNames()) << "step " << step;
    for (const char* s : names) {
      ASSERT_EQ(doc.HasSection(s), file.HasSection(s)) << "step " << step;
      ASSERT_EQ(doc.KeyNames(s), file.KeyNames(s)) << "step " << step;
      for (const char* k : names) ASSERT_EQ(doc.GetString(s, k, "-"), file.GetString(s, k, "-")) << "step " << step;
    }
  }
}

// A write whose text reads back differently (here a trailing blank) must not make every later read re-parse
// the whole document, which makes reading every key of a big file take time in the square of its size.
TEST(IniDocument, ReadsAfterAnOddWriteOfABigFileStayCheap) {
  std::string text = "[S]\r\n";
  for (int i = 0; i < 50000; ++i) text += std::to_string(i) + "=v" + std::to_string(i) + "\r\n";
  IniDocument doc = IniDocument::Parse(text);
  doc.SetString("S", "odd", "trailing blank ");
  EXPECT_EQ(doc.GetString("S", "odd", ""), "trailing blank");
  for (int i = 0; i < 50000; ++i) {
    ASSERT_EQ(doc.GetString("S", std::to_string(i), ""), "v" + std::to_string(i));
    ASSERT_TRUE(doc.HasKey("s", std::to_string(i)));
  }
  EXPECT_EQ(doc.Serialize(), text + "odd=trailing blank \r\n");  // the bytes stay as written
  EXPECT_EQ(doc.KeyNames("S").size(), 50001u);
}

// ---- files ----

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sarn_ini_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string Read(const std::filesystem::path& p) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(p, bytes));
    return bytes;
  }
  std::size_t EntryCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder_)) ++n;
    return n;
  }
  std::filesystem::path folder_;
};

TEST_F(IniFileTest, SaveLoadAndFailures) {
  const auto path = folder_ / "config.ini";
  IniDocument doc;
  EXPECT_FALSE(LoadIniFile(path, doc));
  doc.SetInt("Setting", "CurrentProfile", 2);
  ASSERT_TRUE(SaveIniFile(path, doc));
  EXPECT_EQ(Read(path), "[Setting]\r\nCurrentProfile=2\r\n");
  IniDocument back;
  ASSERT_TRUE(LoadIniFile(path, back));
  EXPECT_EQ(back.GetInt("Setting", "CurrentProfile", -1), 2);

  EXPECT_FALSE(WriteFileAtomic(folder_ / "missing" / "x.ini", "x"));
  EXPECT_FALSE(WriteFileAtomic(folder_, "x"));  // a folder cannot be replaced by a file
  EXPECT_FALSE(LoadIniFile(folder_ / "nothing.ini", back));
  EXPECT_EQ(back.Serialize(), "");
  EXPECT_EQ(Read(path), "[Setting]\r\nCurrentProfile=2\r\n");
  EXPECT_EQ(EntryCount(), 1u) << "no temporary file may be left behind";
}

// A save killed between writing and renaming leaves its temporary file; the next save of that file removes
// such leftovers, but none of another file's, none of another program's and none young enough to be a live
// save's.
TEST_F(IniFileTest, SaveRemovesStaleTemporaryFilesOfThatFileOnly) {
  const auto path = folder_ / "Default0.zmp";
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
  const char* stale[] = {".Default0.zmp.a1B2c3", "Default0.zmp.4120.7.tmp", "default0.ZMP.1.1.TMP"};
  const char* kept[] = {".Default1.zmp.a1B2c3", "Default1.zmp.4120.7.tmp", "Default0.zmp.bak", ".Default0.zmp.a1B2c",
                        "Default0.zmp.x.7.tmp", "Default0.zmp.47.tmp", "XDefault0.zmp.1.2.tmp"};
  for (const char* name : stale) {
    std::ofstream(folder_ / name) << "left";
    std::filesystem::last_write_time(folder_ / name, old);
  }
  for (const char* name : kept) {
    std::ofstream(folder_ / name) << "other";
    std::filesystem::last_write_time(folder_ / name, old);
  }
  std::ofstream(folder_ / ".Default0.zmp.Fresh1") << "live";  // a save still under way
  ASSERT_TRUE(WriteFileAtomic(path, "new"));
  for (const char* name : stale) EXPECT_FALSE(std::filesystem::exists(folder_ / name)) << name;
  for (const char* name : kept) EXPECT_TRUE(std::filesystem::exists(folder_ / name)) << name;
  EXPECT_TRUE(std::filesystem::exists(folder_ / ".Default0.zmp.Fresh1"));
  EXPECT_EQ(Read(path), "new");
}

// Reads tell a missing file from one that exists but cannot be read (a folder stands in for a file held
// open without read sharing), also when the newest content is pending.
TEST_F(IniFileTest, ReadStateTellsMissingFromUnreadable) {
  const auto path = folder_ / "a.ini";
  IniDocument doc;
  std::string bytes;
  EXPECT_EQ(LoadIniFileState(path, doc), FileRead::kMissing);
  std::filesystem::create_directory(path);
  EXPECT_EQ(LoadIniFileState(path, doc), FileRead::kUnreadable);
  EXPECT_EQ(doc.Serialize(), "");
  std::ofstream(PendingPath(path), std::ios::binary) << "[S]\nk=1\n";
  ASSERT_EQ(ReadNewestFile(path, bytes), FileRead::kRead) << "a pending save is the newest content";
  EXPECT_EQ(bytes, "[S]\nk=1\n");
}

#ifndef _WIN32
// A full disk (simulated by a file-size limit in a child) fails the save and leaves the old file whole.
TEST_F(IniFileTest, FullDiskLeavesOldFile) {
  const auto path = folder_ / "slot.ini";
  ASSERT_TRUE(WriteFileAtomic(path, "old"));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteFileAtomic(path, std::string(100000, 'n')) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must report the failure";
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(EntryCount(), 1u);
}

// A child saves two contents alternately and is killed at random moments; the file must always be one of them.
TEST_F(IniFileTest, KillDuringSavesLeavesWholeOldOrNew) {
  const auto path = folder_ / "slot.ini";
  const std::string contents[2] = {std::string(300000, 'a'), std::string(200000, 'b')};
  ASSERT_TRUE(WriteFileAtomic(path, contents[0]));
  std::mt19937 random(12345);
  for (int round = 0; round < 60; ++round) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeFds[0]);
      for (unsigned i = 0;; ++i) {
        if (i == 1) (void)!write(pipeFds[1], "s", 1);  // one save done: the kill now lands mid-stream
        if (!WriteFileAtomic(path, contents[i % 2])) _exit(3);
      }
    }
    close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
    close(pipeFds[0]);
    // Spin (not sleep) a random amount so the kill falls anywhere inside a save.
    const unsigned spins = std::uniform_int_distribution<unsigned>(0, 2000000)(random);
    volatile unsigned sink = 0;
    for (unsigned i = 0; i < spins; ++i) sink = sink + i;
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped on its own";
    const std::string now = Read(path);
    ASSERT_TRUE(now == contents[0] || now == contents[1]) << "round " << round << ": " << now.size() << " bytes";
  }
}
#endif

}  // namespace
}  // namespace sarn
