#include "platform/ini_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using qvx::platform::IniDocument;
using qvx::platform::IniFile;
using qvx::platform::parseProfileInt;
using qvx::platform::truncateUtf8;

extern char** environ;


namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "qvx_ini_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

// ---- Parsing text -------------------------------------------------------------------------

TEST(IniDocument, MatchesSectionAndKeyWithoutRegardToCaseAndTrimsEverything) {
    const IniDocument doc("  [ Globals ]  \r\n\t basePORTaddress =  5100 \t\r\n");
    EXPECT_EQ(doc.value("GLOBALS", "BasePortAddress"), "5100");
    EXPECT_EQ(doc.value("globals", "baseportaddress"), "5100");
    EXPECT_EQ(doc.value("Globals", "Port"), std::nullopt);
    EXPECT_EQ(doc.value("Modem", "BasePortAddress"), std::nullopt);
}

TEST(IniDocument, RemovesOneMatchingPairOfQuotesOnly) {
    const IniDocument doc(
        "[S]\n"
        "double=\"  two words \"\n"
        "single='x'\n"
        "mixed=\"x'\n"
        "lone=\"\n"
        "inner=a\"b\"\n"
        "empty=\n");
    EXPECT_EQ(doc.value("S", "double"), "  two words ");
    EXPECT_EQ(doc.value("S", "single"), "x");
    EXPECT_EQ(doc.value("S", "mixed"), "\"x'");
    EXPECT_EQ(doc.value("S", "lone"), "\"");
    EXPECT_EQ(doc.value("S", "inner"), "a\"b\"");
    EXPECT_EQ(doc.value("S", "empty"), "");
}

TEST(IniDocument, FirstKeyWinsAcrossRepeatedSectionsAndKeys) {
    const IniDocument doc("[S]\na=1\na=9\n[T]\na=2\nb=2\n[s]\na=3\nb=4\n");
    EXPECT_EQ(doc.value("S", "a"), "1");
    EXPECT_EQ(doc.value("S", "b"), "4");
    EXPECT_EQ(doc.value("T", "a"), "2");
}

TEST(IniDocument, CommentsBrokenLinesAndKeysOutsideSectionsTakeNoPart) {
    const IniDocument doc(
        "orphan=1\n"
        "[S]\n"
        "; a=comment\n"
        "  # b=comment\n"
        "no equals sign\n"
        "=no key\n"
        "[broken header\n"
        "c=3 ; not a comment\n"
        "[Section\\With]Text]  \n"
        "d=4\n");
    EXPECT_EQ(doc.value("", "orphan"), std::nullopt);
    EXPECT_EQ(doc.value("S", "; a"), std::nullopt);
    EXPECT_EQ(doc.value("S", "a"), std::nullopt);
    EXPECT_EQ(doc.value("S", "# b"), std::nullopt);
    EXPECT_EQ(doc.value("S", "no equals sign"), std::nullopt);
    // A header without ']' is no header: c still belongs to S.
    EXPECT_EQ(doc.value("S", "c"), "3 ; not a comment");
    EXPECT_EQ(doc.value("Section\\With]Text", "d"), "4");
}

TEST(IniDocument, SkipsAByteOrderMarkButKeepsItInTheText) {
    IniDocument doc("\xEF\xBB\xBF[Globals]\nPorts=2\n");
    EXPECT_EQ(doc.value("Globals", "Ports"), "2");
    ASSERT_TRUE(doc.setValue("Globals", "Ports", "3"));
    EXPECT_EQ(doc.text(), "\xEF\xBB\xBF[Globals]\nPorts=3\n");
}

TEST(IniDocument, SetValueChangesOnlyTheValueOfTheKeyThatReadsFind) {
    const std::string before =
        "; gateway settings\r\n"
        "[globals]\r\n"
        "  Ports = 1   \r\n"
        "IPAddress=127.0.0.1\r\n"
        "[GLOBALS]\r\n"
        "Secured=1\r\n";
    IniDocument doc(before);
    ASSERT_TRUE(doc.setValue("Globals", "PORTS", "4"));
    ASSERT_TRUE(doc.setValue("Globals", "Secured", "0"));
    EXPECT_EQ(doc.text(),
              "; gateway settings\r\n"
              "[globals]\r\n"
              "  Ports = 4\r\n"
              "IPAddress=127.0.0.1\r\n"
              "[GLOBALS]\r\n"
              "Secured=0\r\n");
}

TEST(IniDocument, SetValueAddsAMissingKeyAfterTheLastKeyOfTheFirstSection) {
    IniDocument doc(
        "[A]\n"
        "a=1\n"
        "\n"
        "; about B\n"
        "[B]\n"
        "b=1\n"
        "[A]\n"
        "z=1\n");
    ASSERT_TRUE(doc.setValue("a", "new", "x"));
    EXPECT_EQ(doc.text(),
              "[A]\n"
              "a=1\n"
              "new=x\n"
              "\n"
              "; about B\n"
              "[B]\n"
              "b=1\n"
              "[A]\n"
              "z=1\n");
}

TEST(IniDocument, SetValueAddsAMissingSectionAtTheEndInTheTextsLineEnding) {
    IniDocument doc("[A]\r\na=1");  // no line break after the last line
    ASSERT_TRUE(doc.setValue("Port1", "COMPort", "COM2:"));
    EXPECT_EQ(doc.text(), "[A]\r\na=1\r\n\r\n[Port1]\r\nCOMPort=COM2:\r\n");

    IniDocument empty("");
    ASSERT_TRUE(empty.setValue("Globals", "Ports", "2"));
    EXPECT_EQ(empty.text(), "[Globals]\nPorts=2\n");

    IniDocument headerOnly("[Globals]");
    ASSERT_TRUE(headerOnly.setValue("Globals", "Ports", "2"));
    EXPECT_EQ(headerOnly.text(), "[Globals]\nPorts=2\n");
}

TEST(IniDocument, SetValueRefusesWhatCouldNotBeReadBackAsWritten) {
    const std::string before = "[Globals]\nPassword=old\n";
    IniDocument doc(before);
    EXPECT_FALSE(doc.setValue("Globals", "Password", "x\n[Globals]\nSecured=0"));
    EXPECT_FALSE(doc.setValue("Globals", "Password", "x\ry"));
    EXPECT_FALSE(doc.setValue("Globals", "Password", std::string_view("x\0y", 3)));
    EXPECT_FALSE(doc.setValue("Globals", "a=b", "1"));
    EXPECT_FALSE(doc.setValue("Globals", "  ", "1"));
    EXPECT_FALSE(doc.setValue("Globals", ";key", "1"));
    EXPECT_FALSE(doc.setValue("Globals", "[key", "1"));
    EXPECT_FALSE(doc.setValue("Glo]bals", "key", "1"));
    EXPECT_FALSE(doc.setValue("Glo\nbals", "key", "1"));
    EXPECT_EQ(doc.text(), before);
}

TEST(IniDocument, WrittenValuesReadBackUnchanged) {
    IniDocument doc("[S]\nk=old\n");
    for (const std::string_view value : {"", "a b", "=x=", "[not a section]", "; not a comment",
                                         "Grüße \xE2\x82\xAC", "\\\\server\\share"}) {
        ASSERT_TRUE(doc.setValue("S", "k", value));
        EXPECT_EQ(doc.value("S", "k"), value);
        EXPECT_EQ(IniDocument(doc.text()).value("S", "k"), value);
    }
}

TEST(IniDocument, ValuesAreWrittenAsGivenAndReadBackTrimmedLikeTheProfileFunctions) {
    // Files such as the programming file keep right-aligned numbers ("Zu= 1234.50"): a write
    // stores the text unchanged, and reading removes the blanks and one enclosing pair of quotes.
    IniDocument doc("[S]\nk=old\n");
    ASSERT_TRUE(doc.setValue("S", "k", " 1234.50"));
    EXPECT_EQ(doc.text(), "[S]\nk= 1234.50\n");
    ASSERT_TRUE(doc.setValue("S", "k", " 1234.50"));  // again: no blank piles up
    EXPECT_EQ(doc.text(), "[S]\nk= 1234.50\n");
    EXPECT_EQ(IniDocument(doc.text()).value("S", "k"), "1234.50");
    ASSERT_TRUE(doc.setValue("S", "k", "'quoted'"));
    EXPECT_EQ(IniDocument(doc.text()).value("S", "k"), "quoted");
}

// ---- Integer reading ----------------------------------------------------------------------

TEST(ParseProfileInt, ReadsLeadingDecimalDigitsWithSignAndDefaultsOnlyWhenEmpty) {
    struct Case {
        std::string_view text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"", 77},
        {"   ", 77},
        {"12", 12},
        {"-12", -12},
        {"+7", 7},
        {"12abc", 12},
        {"5100 ; x", 5100},
        {"abc", 0},
        {"-", 0},
        {"+-3", 0},
        {"0x1F", 0},
        {"1.5", 1},
        {"1,5", 1},
        {" 42", 42},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseProfileInt(c.text, 77), c.expected) << '"' << c.text << '"';
    }
}

TEST(ParseProfileInt, KeepsUnsignedThirtyTwoBitValuesBitForBitAndWrapsBeyond) {
    EXPECT_EQ(static_cast<std::uint32_t>(parseProfileInt("4294967295", 0)), 4294967295U);
    EXPECT_EQ(static_cast<std::uint32_t>(parseProfileInt("3000000000", 0)), 3000000000U);
    EXPECT_EQ(parseProfileInt("4294967296", 5), 0);
    EXPECT_EQ(parseProfileInt("4294967297", 5), 1);
    EXPECT_EQ(parseProfileInt("-1", 0), -1);
}

TEST(TruncateUtf8, CutsAtACharacterBoundary) {
    EXPECT_EQ(truncateUtf8("abcdef", 3), "abc");
    EXPECT_EQ(truncateUtf8("abc", 3), "abc");
    EXPECT_EQ(truncateUtf8("\xC3\xB6\xC3\xB6", 3), "\xC3\xB6");           // öö
    EXPECT_EQ(truncateUtf8("a\xE2\x82\xAC", 3), "a");                     // a€
    EXPECT_EQ(truncateUtf8("\xF0\x9F\x98\x80x", 4), "\xF0\x9F\x98\x80");  // emoji kept whole
    EXPECT_EQ(truncateUtf8("abc", 0), "");
}

// ---- Files --------------------------------------------------------------------------------

TEST(IniFile, MissingFileGivesTheDefaultsAndCutsToTheBufferSize) {
    const TempDir dir;
    const IniFile file(dir.path() / "missing.ini");
    EXPECT_EQ(file.readString("Globals", "IPAddress", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(file.readString("Globals", "IPAddress", "127.0.0.1", 4), "127");
    EXPECT_EQ(file.readInt("Globals", "Ports", 1), 1);
    EXPECT_FALSE(fs::exists(file.path()));
}

TEST(IniFile, ReadsFromTheFileAndCutsLongTextsToBufferSizeMinusOne) {
    const TempDir dir;
    const IniFile file(dir.path() / "qvx.ini");
    writeAll(file.path(), "[Globals]\nName=abcdef\nUmlaut=\xC3\xB6\xC3\xB6\xC3\xB6\nPort= 5101\n");
    EXPECT_EQ(file.readString("globals", "name", "x"), "abcdef");
    EXPECT_EQ(file.readString("Globals", "Name", "x", 4), "abc");
    EXPECT_EQ(file.readString("Globals", "Umlaut", "x", 4), "\xC3\xB6");
    EXPECT_EQ(file.readString("Globals", "Name", "x", 0), "");
    EXPECT_EQ(file.readInt("Globals", "PORT", 1), 5101);
    EXPECT_EQ(file.readInt("Globals", "Name", 1), 0);
}

TEST(IniFile, WriteCreatesFileSectionAndKeyWithTheUsualPermissions) {
    const TempDir dir;
    const IniFile file(dir.path() / "new.ini");
    ASSERT_TRUE(file.writeString("Globals", "TCP_IP_ADDRESS", "localhost"));
    ASSERT_TRUE(file.writeInt("Globals", "Port", 5101));
    ASSERT_TRUE(file.writeString("Modem", "Initstring", "AT&FX0E0"));
    EXPECT_EQ(readAll(file.path()),
              "[Globals]\nTCP_IP_ADDRESS=localhost\nPort=5101\n\n[Modem]\nInitstring=AT&FX0E0\n");
    struct stat info {};
    ASSERT_EQ(::stat(file.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777U, 0666U & ~currentUmask());
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(IniFile, WriteReplacesTheFileKeepingItsPermissionsAndEveryOtherLine) {
    const TempDir dir;
    const IniFile file(dir.path() / "qvx.ini");
    writeAll(file.path(), "; keep me\n[Globals]\nPort=5101\nHost = gw \n[Other]\nx=1\n");
    ASSERT_EQ(::chmod(file.path().c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(file.path().c_str(), &before), 0);

    ASSERT_TRUE(file.writeInt("GLOBALS", "port", 6000));

    EXPECT_EQ(readAll(file.path()), "; keep me\n[Globals]\nPort=6000\nHost = gw \n[Other]\nx=1\n");
    struct stat after {};
    ASSERT_EQ(::stat(file.path().c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777U, 0640U);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file was renamed over the old one
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(IniFile, ReadersSeeEitherTheOldOrTheNewFileDuringWrites) {
    const TempDir dir;
    const IniFile file(dir.path() / "qvx.ini");
    // A long value makes a torn file likely if the file were rewritten in place.
    const std::string padding(std::size_t{64} * 1024, 'p');
    ASSERT_TRUE(file.writeString("S", "pad", padding));
    ASSERT_TRUE(file.writeInt("S", "n", 0));

    std::atomic<bool> done{false};
    std::atomic<int> tornReads{0};
    std::thread reader([&] {
        while (!done) {
            const std::string pad = file.readString("S", "pad", "missing");
            const std::int32_t n = file.readInt("S", "n", -1);
            if (pad != padding || n < 0) {
                ++tornReads;
            }
        }
    });
    for (int i = 1; i <= 60; ++i) {
        ASSERT_TRUE(file.writeInt("S", "n", i));
    }
    done = true;
    reader.join();
    EXPECT_EQ(tornReads, 0);
    EXPECT_EQ(file.readInt("S", "n", -1), 60);
}

TEST(IniFile, WriteThroughASymbolicLinkReplacesTheLinkTarget) {
    const TempDir dir;
    fs::create_directory(dir.path() / "real");
    const fs::path target = dir.path() / "real" / "qvx.ini";
    writeAll(target, "[Globals]\nPort=1\n");
    const fs::path link = dir.path() / "link.ini";
    fs::create_symlink("real/qvx.ini", link);  // relative to the link's folder
    const fs::path linkToLink = dir.path() / "link2.ini";
    fs::create_symlink(link, linkToLink);

    ASSERT_TRUE(IniFile(linkToLink).writeInt("Globals", "Port", 2));

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(linkToLink));
    EXPECT_EQ(readAll(target), "[Globals]\nPort=2\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "real"), fs::directory_iterator()),
              1);

    // A dangling link gets its target created.
    const fs::path dangling = dir.path() / "dangling.ini";
    fs::create_symlink("real/created.ini", dangling);
    ASSERT_TRUE(IniFile(dangling).writeInt("Globals", "Port", 3));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(readAll(dir.path() / "real" / "created.ini"), "[Globals]\nPort=3\n");
}

TEST(IniFile, ReadOnlyTargetMakesTheWriteFailAndStaysUnchanged) {
    const TempDir dir;
    const IniFile file(dir.path() / "qvx.ini");
    writeAll(file.path(), "[Globals]\nPort=1\n");
    ASSERT_EQ(::chmod(file.path().c_str(), 0444), 0);
    std::error_code error;
    EXPECT_FALSE(file.writeString("Globals", "Port", "2", error));
    EXPECT_EQ(error, std::errc::permission_denied);
    EXPECT_EQ(readAll(file.path()), "[Globals]\nPort=1\n");
    EXPECT_EQ(file.readInt("Globals", "Port", 0), 1);  // reading still works
}

TEST(IniFile, UnwritableFolderMakesTheWriteFail) {
    const TempDir dir;
    // The superuser may write into any folder whatever its mode; sysfs refuses even them.
    fs::path folder = dir.path() / "locked";
    if (::geteuid() == 0) {
        folder = "/sys";
    } else {
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    std::error_code error;
    EXPECT_FALSE(IniFile(folder / "qvx_ini_test.ini").writeString("S", "k", "v", error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(fs::exists(folder / "qvx_ini_test.ini"));
    EXPECT_FALSE(IniFile(dir.path() / "no" / "such" / "folder.ini").writeString("S", "k", "v"));
}

TEST(IniFile, AFileThatCannotBeReadIsNeitherReadNorReplaced) {
    const TempDir dir;
    const fs::path fifo = dir.path() / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Neither call may block on the FIFO.
    EXPECT_EQ(IniFile(fifo).readString("S", "k", "default"), "default");
    EXPECT_FALSE(IniFile(fifo).writeString("S", "k", "v"));
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path folder = dir.path() / "folder.ini";
    fs::create_directory(folder);
    EXPECT_FALSE(IniFile(folder).writeString("S", "k", "v"));
    EXPECT_TRUE(fs::is_directory(folder));
}

// ---- Locale independence ------------------------------------------------------------------

namespace {

// Number formatting as in German: decimal comma, '.' between groups of three digits.
struct GermanNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

std::locale customGermanLocale() {
    return {std::locale::classic(), new GermanNumbers};
}

// The system's German locale: installed, or generated into a temporary folder when the
// locale sources and localedef are there; else the custom one, so the test always runs.
std::locale systemGermanLocale(const fs::path& scratch) {
    try {
        return std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
    }
    if (!fs::exists("/usr/share/i18n/locales/de_DE")) {
        return customGermanLocale();
    }
    const std::string output = (scratch / "de_DE.UTF-8").string();
    const char* argv[] = {"localedef", "-c", "-i", "de_DE", "-f", "UTF-8", output.c_str(), nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        ::posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return customGermanLocale();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    // The test runs alone in its process; no other thread reads the environment meanwhile.
    ::setenv("LOCPATH", scratch.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    try {
        return std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        return customGermanLocale();
    }
}

class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& locale) : m_previous(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(m_previous); }
    GlobalLocale(const GlobalLocale&) = delete;
    GlobalLocale& operator=(const GlobalLocale&) = delete;

private:
    std::locale m_previous;
};

void expectRoundTripUnaffectedBy(const std::locale& german, const fs::path& folder) {
    const GlobalLocale scope(german);
    std::ostringstream probe;
    probe << 1234567;
    ASSERT_EQ(probe.str(), "1.234.567") << "the German locale is not in effect";

    const IniFile file(folder / "qvx.ini");
    ASSERT_TRUE(file.writeInt("Globals", "BaudRate", 1234567));
    ASSERT_TRUE(file.writeInt("Globals", "Negative", -40000));
    ASSERT_TRUE(file.writeString("Globals", "Text", "1,5"));
    EXPECT_EQ(readAll(file.path()), "[Globals]\nBaudRate=1234567\nNegative=-40000\nText=1,5\n");
    EXPECT_EQ(file.readInt("Globals", "BaudRate", 0), 1234567);
    EXPECT_EQ(file.readInt("Globals", "Negative", 0), -40000);
    EXPECT_EQ(file.readString("Globals", "Text", ""), "1,5");
}

}  // namespace

TEST(IniFileLocale, RoundTripUnderACustomGermanGlobalLocale) {
    const TempDir dir;
    expectRoundTripUnaffectedBy(customGermanLocale(), dir.path());
}

TEST(IniFileLocale, RoundTripUnderTheSystemGermanLocale) {
    const TempDir dir;
    const TempDir scratch;
    expectRoundTripUnaffectedBy(systemGermanLocale(scratch.path()), dir.path());
}
