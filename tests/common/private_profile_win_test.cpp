// Our INI codec against the system's own private-profile calls: the same writes must give the same bytes, and
// every value read from an odd file must read the same. Where we differ on purpose, the case is named here.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "common/private_profile.h"
#include "common/settings_file.h"
#include "common/ini_write.h"

namespace sarn {
namespace {

using namespace std::string_literals;

std::string Escaped(std::string_view s) {
  std::string out;
  char hex[8];
  for (unsigned char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 32 || c > 126) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Failure messages stay readable even for the 200 000-byte lines of the corpus.
std::string Short(std::string_view s) {
  return s.size() <= 160 ? Escaped(s) : Escaped(s.substr(0, 160)) + "...(" + std::to_string(s.size()) + " bytes)";
}

class PrivateProfileVsWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sarn_ini_win_" + std::to_string(GetCurrentProcessId()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  // A fresh file name for every case: the system caches profile files and must never see a stale copy.
  std::filesystem::path NewPath() {
    std::string name = "f";
    name += std::to_string(counter_++);
    name += ".ini";
    return folder_ / name;
  }
  static void Put(const std::filesystem::path& p, std::string_view bytes) {
    ASSERT_TRUE(WriteFileAtomic(p, bytes));
  }
  static std::string Get(const std::filesystem::path& p) {
    std::string bytes;
    if (!ReadWholeFile(p, bytes)) return "<no file>";
    return bytes;
  }

  std::size_t Entries() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder_)) ++n;
    return n;
  }

  std::filesystem::path folder_;
  int counter_ = 0;
};

using Op = test::IniWrite;

std::string Describe(const Op& op) {
  std::string out = "[";
  out += Escaped(op.section);
  out += "] ";
  out += op.key ? Escaped(op.key) : "(null)";
  out += "=";
  out += op.value ? Escaped(op.value) : "(null)";
  return out;
}

struct Sequence {
  const char* name;
  std::string start;  // empty: no file at first
  std::vector<Op> ops;
};

TEST_F(PrivateProfileVsWindows, WriteSequencesGiveTheSameBytes) {
  const std::string longValue(5000, 'x');
  const Sequence sequences[] = {
      {"new file, new keys, new sections",
       "",
       {{"Setting", "CurrentProfile", "0"}, {"Setting", "WindowsProfile", "-1"}, {"FileName", "Profile1", "a b"},
        {"Setting", "QuickHelpLan", "1"}, {"OSDSetting", "config", "00"}, {"FileName", "Profile2", ""}}},
      {"replace in place, mixed case",
       "[Setting]\r\nCurrentProfile=0\r\nDevice=1\r\n[FileName]\r\nProfile1=x\r\n",
       {{"setting", "currentprofile", "3"}, {"SETTING", "Device", "0"}, {"FileName", "PROFILE1", "y"},
        {"setting", "CurrentProfile", "3"}}},
      {"deletes", "[A]\r\na=1\r\nb=2\r\n[B]\r\nc=3\r\n[A]\r\nd=4\r\n",
       {{"a", "B", nullptr}, {"A", "d", nullptr}, {"b", nullptr, nullptr}, {"A", "zz", nullptr},
        {"Q", nullptr, nullptr}, {"A", nullptr, nullptr}, {"A", nullptr, nullptr}}},
      {"delete everything then write anew", "[A]\r\na=1\r\n[B]\r\nb=2\r\n",
       {{"A", nullptr, nullptr}, {"B", nullptr, nullptr}, {"Timer", "Count", "0"}}},
      {"odd file normalised by the first real change",
       "\r\n  [ Setting ] tail\r\n\r\n  a  =  1  \r\n;comment\r\n\tbare\r\n[bad\r\n=x\r\n[]\r\nq=1\r\nz=\"9\"",
       {{"Setting", "a", "1"}, {"Setting", "a", "  1"}, {"Setting", "n", "2"}, {"", "top", "t"}}},
      {"line ends of every kind", "[S]\rk=v\na=b\r\n\n\r[T]\n\nx=1",
       {{"S", "k", "w"}, {"T", "y", "2"}}},
      {"duplicates", "[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\nj=4\r\n",
       {{"S", "k", "9"}, {"S", "j", "5"}, {"s", "j", nullptr}, {"S", "k", nullptr}, {"S", "k", nullptr}}},
      {"blanks in names and values", "", {{" S ", " k ", "  v  "}, {"S", "k", "\tv  "}, {"S", "k", " "},
                                          {"S", "e", ""}, {"S", "e", "x"}}},
      {"quotes and specials", "",
       {{"S", "q", "\"quoted\""}, {"S", "s", "'a'"}, {"S", "semi;colon", "a=b;c"}, {"S", "h", "\x81\x8D\xA0\xFF"},
        {"a]b", "k", "x"}, {"S;x", "[k]", "x"}}},
      {"long values", "", {{"Button", "1", longValue.c_str()}, {"Button", "2", longValue.c_str()},
                            {"Button", "1", "short"}}},
      {"NUL and control bytes in the file", "[S]\r\nk=a\0b\r\nz\0y=1\r\n[T\0U]\r\nc=\x01\x02\x1A\r\n"s,
       {{"S", "j", "x"}, {"T", "c", "d"}}},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\nk=v\r\n", {{"S", "j", "x"}}},
      {"empty header and NUL-cut names read back after the first rewrite",
       "[S]\r\n[]\r\nq=1\r\n[T \0x]\r\nm=1\r\n"s, {{"S", "n", "1"}, {"S", "q", "2"}, {"T", "m", "2"}}},
      {"keys before the first section", "a=1\r\nb\r\n[S]\r\n", {{"", "c", "3"}, {"", "a", nullptr}}},
  };
  for (const Sequence& seq : sequences) {
    SCOPED_TRACE(seq.name);
    const auto theirs = NewPath();
    const auto ours = NewPath();
    IniDocument doc;
    if (!seq.start.empty()) {
      Put(theirs, seq.start);
      Put(ours, seq.start);
      ASSERT_TRUE(LoadIniFile(ours, doc));
    }
    for (const Op& op : seq.ops) {
      WritePrivateProfileStringA(op.section, op.key, op.value, theirs.string().c_str());
      test::ApplyWrite(doc, op);
      ASSERT_TRUE(SaveIniFile(ours, doc));
      ASSERT_EQ(Escaped(Get(ours)), Escaped(Get(theirs))) << "after " << Describe(op);
    }
  }
}

// Random writes over a small alphabet of names and values, checked after every step.
TEST_F(PrivateProfileVsWindows, RandomWritesGiveTheSameBytes) {
  const char* const sections[] = {"A", "a", " A", "B", "Macro", "macro ", "", "x]y", "[z"};
  const char* const keys[] = {"k", "K", "k ", "number", "0", "x y", ";c", "[h]", "e=q", ""};
  const char* const values[] = {"1", "-1", "", " lead", "trail ", "\"q\"", "0x10", "a=b", "\xE9", nullptr};
  std::mt19937 random(20261208);
  for (int run = 0; run < 40; ++run) {
    const auto theirs = NewPath();
    IniDocument doc;
    for (int step = 0; step < 25; ++step) {
      Op op{sections[random() % std::size(sections)], keys[random() % std::size(keys)],
            values[random() % std::size(values)]};
      if (random() % 12 == 0) op.key = nullptr;
      WritePrivateProfileStringA(op.section, op.key, op.value, theirs.string().c_str());
      test::ApplyWrite(doc, op);
      const std::string expected = std::filesystem::exists(theirs) ? Get(theirs) : "";
      ASSERT_EQ(Escaped(doc.Serialize()), Escaped(expected)) << "run " << run << " step " << step << " "
                                                             << Describe(op);
    }
  }
}

TEST_F(PrivateProfileVsWindows, StructWritesGiveTheSameBytes) {
  const auto theirs = NewPath();
  IniDocument doc;
  std::vector<unsigned char> data(2476);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 37 + 5);
  const std::size_t sizes[] = {0, 1, 3, 344, 2476};
  for (std::size_t size : sizes) {
    const std::string key = "Struct" + std::to_string(size);
    WritePrivateProfileStructA("S", key.c_str(), data.data(), static_cast<UINT>(size), theirs.string().c_str());
    doc.SetStruct("S", key, data.data(), size);
  }
  WritePrivateProfileStructA("S", "Struct1", nullptr, 1, theirs.string().c_str());
  doc.SetStruct("S", "Struct1", nullptr, 1);
  EXPECT_EQ(doc.Serialize(), Get(theirs));
}

// ---- reading ----

std::string LongLetters(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

std::vector<std::string> OddFiles() {
  std::vector<std::string> files = {
      "[Dup]\r\nk=1\r\nk=2\r\n[dup]\r\nk=3\r\nj=4\r\n[DUP]\r\nm=5\r\n",
      "[S]\r\n k = 1 \r\n\tk2\t=\t2\t\r\nk3 =3\r\nk4= 4\r\n  =  5\r\n",
      "; leading comment\r\n[S]\r\n;k=1\r\n#k2=2\r\nk3=3 ; trailing\r\n//k4=4\r\n",
      "[S]\r\nk=1\r\nlast=no line end",
      "[S]\rk=1\rj=2\r[T]\rk=3",
      "[S]\nk=1\n\n\n[T]\nk=2\n",
      "[MiXeD]\r\nKeY=Value\r\nkey=second\r\nKEY2=VALUE2\r\n",
      "[S]\r\nq1=\"quoted\"\r\nq2='single'\r\nq3=\"half\r\nq4=half\"\r\nq5=\"\"\r\nq6=\"\r\nq7='\"\r\nq8=\"a\"b\"\r\n"
      "q9=\" 12 \"\r\n",
      "[S]\r\ne1=\r\ne2= \r\ne3\r\n=novalue\r\ne4=\"\"\r\n",
      "junk line\r\n[S\r\n]\r\n[S]]\r\n[a]b]c\r\nk=1\r\n[]\r\nk=2\r\n[ spaced ]\r\nk=3\r\n",
      "[S]\r\nk=a\0b\r\nz\0y=1\r\n[T\0U]\r\nm=1\r\n\0\0\0\r\n"s,
      "[S]\r\nb=\x01\x02\x03\x7F\x80\x81\x8D\x90\x9D\xA0\xFF\r\n\xA0k=1\r\nc=\x1A\r\nd=1\x1A\r\n",
      "\xEF\xBB\xBF[S]\r\nk=1\r\n",
      "[N]\r\na=12\r\nb=-12\r\nc=+7\r\nd= 3\r\ne=12abc\r\nf=abc\r\ng=4294967295\r\nh=99999999999\r\n"
      "i=0x1F\r\nj=0X1F\r\nk=0b101\r\nl=0o17\r\nm=-0x10\r\nn=- 5\r\no=+-3\r\np=\x01\x02" "9\r\nq=1e3\r\n"
      "r=0000000000000000000000000000009\r\ns=\"-3\"\r\nt=0x\r\nu=0xg\r\nv=00012\r\nw=2147483648\r\n",
      "[St]\r\na=01AB10BC\r\nb=01ab10bc\r\nc=01AB10BD\r\nd=01AB10B\r\ne=01AB10BC0\r\nf=01AB10BCC\r\ng=01AB1GBC\r\n"
      "h=\"01AB10BC\"\r\ni=00\r\nj=0000\r\nk=FFFFFE\r\nl=01AB10BC00\r\n",
  };
  for (std::size_t n : {2045u, 2046u, 2047u, 2048u, 2049u, 5000u}) {
    const std::string v = LongLetters(n);
    files.push_back("[L]\r\nplain=" + v + "\r\nquoted=\"" + v + "\"\r\nhalf=\"" + v + "\r\n");
  }
  files.push_back("[Huge]\r\nk=" + std::string(200000, 'h') + "\r\n" + std::string(100000, 'j') + "=1\r\n");
  std::mt19937 random(7);
  for (int i = 0; i < 8; ++i) {  // binary junk with enough brackets and "=" to form sections and keys
    std::string junk;
    const char alphabet[] = "[]=;\"' \t\r\nabAB01\0\x1A\xFF\x81";
    for (int j = 0; j < 600; ++j) junk += alphabet[random() % (sizeof alphabet - 1)];
    files.push_back(junk);
  }
  return files;
}

// The names Windows knows in a file: its section list and each section's key list.
std::vector<std::string> SplitMulti(const std::vector<char>& buffer, DWORD length) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (buffer[i] == '\0') {
      if (i > start) out.emplace_back(buffer.data() + start, i - start);
      start = i + 1;
    }
  }
  return out;
}

TEST_F(PrivateProfileVsWindows, OddFilesReadTheSame) {
  int compared = 0;
  for (const std::string& file : OddFiles()) {
    const auto path = NewPath();
    Put(path, file);
    const std::string p = path.string();
    const IniDocument doc = IniDocument::Parse(file);
    SCOPED_TRACE(Short(file));

    std::vector<char> buffer(1 << 20);
    const DWORD sectionsLength = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), p.c_str());
    const std::vector<std::string> theirSections = SplitMulti(buffer, sectionsLength);
    EXPECT_EQ(doc.SectionNames(), theirSections);

    std::set<std::string> sectionQueries(theirSections.begin(), theirSections.end());
    for (const char* extra : {"", "missing", "S", "s ", " S"}) sectionQueries.insert(extra);
    for (const std::string& section : sectionQueries) {
      std::set<std::string> keyQueries = {"k", "K", " k ", "missing", ""};
      const DWORD keysLength = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), p.c_str());
      for (const std::string& k : SplitMulti(buffer, keysLength)) keyQueries.insert(k);
      for (const std::string& k : doc.KeyNames(section)) keyQueries.insert(k);
      for (const std::string& key : keyQueries) {
        // Deliberate: Windows cannot even take a name of 32767 bytes or more (Wine crashes on it); we can.
        if (key.size() >= 32767 || section.size() >= 32767) continue;
        std::string where = "[";
        where += Short(section);
        where += "] ";
        where += Short(key);
        SCOPED_TRACE(where);
        char text[2048];
        std::memset(text, '#', sizeof text);
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "DEF", text, sizeof text, p.c_str());
        EXPECT_EQ(Short(doc.GetString(section, key, "DEF")), Short(std::string(text, n)));
        EXPECT_EQ(doc.GetInt(section, key, -7),
                  static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), -7, p.c_str())));
        const std::string raw = doc.HasKey(section, key) ? doc.GetString(section, key, "") : "";
        for (std::size_t size : {std::size_t{1}, std::size_t{3}, raw.size() > 2 ? (raw.size() - 2) / 2 : 2}) {
          unsigned char theirBytes[4096];
          unsigned char ourBytes[4096];
          std::memset(theirBytes, 0x5A, sizeof theirBytes);
          std::memset(ourBytes, 0x5A, sizeof ourBytes);
          if (size > sizeof ourBytes) continue;
          const bool theirOk =
              GetPrivateProfileStructA(section.c_str(), key.c_str(), theirBytes, static_cast<UINT>(size), p.c_str());
          const bool ourOk = doc.GetStruct(section, key, ourBytes, size);
          if (theirOk && !ourOk) {
            // Deliberate: Windows also takes 2n+3 digits (the odd digit is dropped); we want exactly 2n+2.
            unsigned char probe[4096];
            EXPECT_FALSE(DecodeStructValue(raw, probe, size)) << "size " << size;
            continue;
          }
          EXPECT_EQ(ourOk, theirOk) << "size " << size;
          if (ourOk) {
            EXPECT_EQ(std::memcmp(ourBytes, theirBytes, size), 0) << "size " << size;
          } else {
            // Deliberate: a failed read leaves our buffer untouched (Windows may have written part of it).
            EXPECT_EQ(ourBytes[0], 0x5A);
          }
        }
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 200);
}

// ---- deliberate differences, each named ----

TEST_F(PrivateProfileVsWindows, DifferenceValueWithLineEndIsCut) {
  const auto theirs = NewPath();
  WritePrivateProfileStringA("S", "k", "a\r\n[Injected]\r\nb=c", theirs.string().c_str());
  EXPECT_EQ(Get(theirs), "[S]\r\nk=a\r\n[Injected]\r\nb=c\r\n") << "Windows writes the line end through";
  IniDocument doc;
  doc.SetString("S", "k", "a\r\n[Injected]\r\nb=c");
  EXPECT_EQ(doc.Serialize(), "[S]\r\nk=a\r\n");
}

TEST_F(PrivateProfileVsWindows, DifferenceWriteOverANameCutAfterABlank) {
  const std::string file = "[S]\r\nk\v\0x=old\r\n"s;
  const auto theirs = NewPath();
  Put(theirs, file);
  WritePrivateProfileStringA("S", "k", "new", theirs.string().c_str());
  EXPECT_EQ(Escaped(Get(theirs)), Escaped("[S]\r\nk\v=old\r\nk=new\r\n")) << "Windows adds a line the old one hides";
  IniDocument doc = IniDocument::Parse(file);
  doc.SetString("S", "k", "new");
  EXPECT_EQ(Escaped(doc.Serialize()), Escaped("[S]\r\nk\v=new\r\n"));
}

TEST_F(PrivateProfileVsWindows, DifferenceFirstLineStartingWithTheMarkBytes) {
  const std::string file = "\r\n\xEF\xBB\xBF[M]\r\na=2\r\n";
  const auto theirs = NewPath();
  Put(theirs, file);
  WritePrivateProfileStringA("M", "a", "0", theirs.string().c_str());
  EXPECT_EQ(Escaped(Get(theirs)), Escaped("\xEF\xBB\xBF[M]\r\na=2\r\n[M]\r\na=0\r\n")) << "Windows puts the bytes first";
  IniDocument doc = IniDocument::Parse(file);
  doc.SetString("M", "a", "0");
  EXPECT_EQ(Escaped(doc.Serialize()), Escaped("\r\n\xEF\xBB\xBF[M]\r\na=2\r\n[M]\r\na=0\r\n"));
}

TEST_F(PrivateProfileVsWindows, DifferenceStructOddLengthAndPartialWrites) {
  const auto path = NewPath();
  Put(path, "[S]\r\nodd=01AB10BC0\r\nsum=01AB10BD\r\n");
  unsigned char theirs[3] = {9, 9, 9};
  unsigned char ours[3] = {9, 9, 9};
  const IniDocument doc = IniDocument::Parse("[S]\r\nodd=01AB10BC0\r\nsum=01AB10BD\r\n");
  EXPECT_TRUE(GetPrivateProfileStructA("S", "odd", theirs, 3, path.string().c_str()));
  EXPECT_FALSE(doc.GetStruct("S", "odd", ours, 3));
  std::memset(theirs, 9, 3);
  EXPECT_FALSE(GetPrivateProfileStructA("S", "sum", theirs, 3, path.string().c_str()));
  EXPECT_NE(theirs[0], 9) << "Windows fills the buffer before it checks the sum";
  EXPECT_FALSE(doc.GetStruct("S", "sum", ours, 3));
  EXPECT_EQ(ours[0], 9);
}

// Not a test of behaviour: how long the settings save takes through the key-by-key calls and through one
// document. Run with --gtest_also_run_disabled_tests.
TEST_F(PrivateProfileVsWindows, DISABLED_MeasureSettingsSave) {
  const std::string value = EncodeStructValue(std::string(2476, 'v').data(), 2476);
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  for (int slot = 0; slot < 5; ++slot) {
    const std::string p = (folder_ / ("calls" + std::to_string(slot) + ".zmp")).string();
    for (int k = 0; k < 20; ++k) {
      WritePrivateProfileStringA("Profile", ("Button" + std::to_string(k)).c_str(), value.c_str(), p.c_str());
    }
  }
  const auto t1 = Clock::now();
  for (int slot = 0; slot < 5; ++slot) {
    IniDocument doc;
    for (int k = 0; k < 20; ++k) doc.SetString("Profile", "Button" + std::to_string(k), value);
    ASSERT_TRUE(SaveIniFile(folder_ / ("doc" + std::to_string(slot) + ".zmp"), doc));
  }
  const auto t2 = Clock::now();
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("key-by-key calls: %.1f ms, one document per file: %.1f ms\n", ms(t1 - t0), ms(t2 - t1));
  EXPECT_EQ(Get(folder_ / "calls0.zmp"), Get(folder_ / "doc0.zmp"));
}

TEST_F(PrivateProfileVsWindows, FailedWriteLeavesOldFile) {
  const auto path = NewPath();
  Put(path, "old");
  EXPECT_FALSE(WriteFileAtomic(folder_ / "no such folder" / "x.ini", "new"));
  EXPECT_FALSE(WriteFileAtomic(folder_, "new"));
  EXPECT_EQ(Get(path), "old");
  EXPECT_EQ(Entries(), 1u) << "no temporary file may be left behind";
}

// A file the system will not let us replace: held open without delete sharing, as a viewer, a virus scanner or
// an indexer holds it. The save is never reported as done, yet nothing is lost: the new content waits where
// reads and the next save find it, and the first save after the file is let go puts everything in place.
TEST_F(PrivateProfileVsWindows, SaveOntoAHeldFileIsKeptForTheNextSave) {
  const auto path = NewPath();
  Put(path, "[S]\r\na=1\r\n");
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(EditIniFile(path, [](IniDocument& doc) { doc.SetInt("S", "b", 2); }));
  EXPECT_FALSE(EditIniFile(path, [](IniDocument& doc) { doc.SetInt("S", "c", 3); }));
  EXPECT_EQ(Get(path), "[S]\r\na=1\r\n");
  IniDocument seen;
  ASSERT_TRUE(LoadIniFile(path, seen));
  EXPECT_EQ(seen.Serialize(), "[S]\r\na=1\r\nb=2\r\nc=3\r\n") << "reads see the newest content";
  CloseHandle(held);

  EXPECT_TRUE(EditIniFile(path, [](IniDocument& doc) { doc.SetInt("S", "d", 4); }));
  EXPECT_EQ(Get(path), "[S]\r\na=1\r\nb=2\r\nc=3\r\nd=4\r\n");
  EXPECT_EQ(Entries(), 1u) << "the pending content is gone once the file holds it";
}

// Let go within the retry time, the file is replaced and the save succeeds.
TEST_F(PrivateProfileVsWindows, SaveOntoAFileHeldForAMomentSucceeds) {
  const auto path = NewPath();
  Put(path, "old");
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(30);
    CloseHandle(held);
  });
  EXPECT_TRUE(WriteFileAtomic(path, "new"));
  release.join();
  EXPECT_EQ(Get(path), "new");
  EXPECT_FALSE(std::filesystem::exists(PendingPath(path)));
}

// A file that exists but cannot be read (here opened without any sharing, as a backup tool may) is not
// taken for an empty one: a single-key edit over it would drop every other key.
TEST_F(PrivateProfileVsWindows, EditOfAnUnreadableFileIsRefused) {
  const auto path = folder_ / "config.ini";
  const std::string before = "[Setting]\r\nFWVersion=128\r\n[FileName]\r\nProfile1=fps\r\n";
  Put(path, before);
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  bool edited = false;
  EXPECT_FALSE(EditIniFile(path, [&](IniDocument&) { edited = true; }));
  EXPECT_FALSE(edited);
  EXPECT_EQ(WriteCurrentProfile(folder_, 2), 0);
  EXPECT_FALSE(std::filesystem::exists(PendingPath(path))) << "nothing waits to replace the file either";
  CloseHandle(held);

  EXPECT_EQ(Get(path), before);
  EXPECT_EQ(WriteCurrentProfile(folder_, 2), 1);
  EXPECT_EQ(ReadFirmwareVersion(folder_), 128);
  EXPECT_EQ(Get(path), "[Setting]\r\nFWVersion=128\r\nCurrentProfile=2\r\n[FileName]\r\nProfile1=fps\r\n");
}

}  // namespace
}  // namespace sarn
