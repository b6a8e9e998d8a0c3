#include "tests/views/programming_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <clocale>
#include <fstream>
#include <sstream>

#include "link/calibration_table.h"
#include "sim/encoding.h"
#include "sim/memory_map.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): for posix_spawnp

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace qvx::views::test {

using namespace std::chrono_literals;
using qvx::test::waitUntil;

namespace {

constexpr int kWriteEeprom = 4;
constexpr int kWriteRam = 6;

Bytes wordsOf(const std::array<int, 5>& words) {
    Bytes bytes;
    for (const int word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return bytes;
}

void connectQuickly(document::CQvx_controllerDoc& document, int port) {
    link::DeviceLink& link = document.link();
    link.setReplyWait(150);
    link.setMaxRetry(1);
    ASSERT_TRUE(link.connect(port, "127.0.0.1"));
    ASSERT_TRUE(waitUntil([&link] { return link.isConnected(); }, 5s));
}

}  // namespace

SimulatedQvx::SimulatedQvx() {
    sim::ServerConfig config;
    config.trace = [this](const link::LinkMessage& message, sim::RequestOutcome /*outcome*/) {
        if (message.code == kWriteEeprom || message.code == kWriteRam) {
            const std::lock_guard lock(m_mutex);
            m_writes.push_back({message.code, message.address, message.data});
        }
    };
    m_server = std::make_unique<sim::SimServer>(std::move(config));
    std::string error;
    EXPECT_TRUE(m_server->start(error)) << error;
    holdGripperMv(2500.0);
    setStatusByte(0);
    connectQuickly(document, m_server->port());
    EXPECT_TRUE(document.link().readCalibration());
    (void)takeWrites();
}

SimulatedQvx::~SimulatedQvx() {
    m_server->stop();
}

std::vector<Write> SimulatedQvx::takeWrites() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_writes, {});
}

Bytes SimulatedQvx::eeprom(std::uint32_t address, std::size_t count) {
    const Bytes all = m_server->eeprom();
    return {all.begin() + address, all.begin() + static_cast<std::ptrdiff_t>(address + count)};
}

std::array<int, 5> SimulatedQvx::inputRecord() {
    const Bytes bytes = eeprom(sim::memory::kInputRecord, 10);
    std::array<int, 5> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = (bytes[2 * i] << 8) | bytes[2 * i + 1];
    }
    return words;
}

int SimulatedQvx::statusByte() {
    int status = 0;
    m_server->withController(
        [&status](sim::Controller& c) { status = c.ram()[sim::memory::kRamStatus]; });
    return status;
}

void SimulatedQvx::setStatusByte(std::uint8_t value) {
    m_server->withController([value](sim::Controller& c) {
        const std::array<std::uint8_t, 1> byte{value};
        EXPECT_TRUE(c.write(sim::Area::Ram, sim::memory::kRamStatus, byte,
                            std::chrono::steady_clock::now()));
    });
}

void SimulatedQvx::setInputRecordMv(const std::array<float, 5>& mv) {
    std::array<int, 5> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = rawOf(mv[i]);
    }
    const Bytes bytes = wordsOf(words);
    m_server->withController([&bytes](sim::Controller& c) {
        EXPECT_TRUE(c.write(sim::Area::Eeprom, sim::memory::kInputRecord, bytes,
                            std::chrono::steady_clock::now()));
    });
}

void SimulatedQvx::holdGripperMv(double mv) {
    m_server->withController([mv](sim::Controller& c) {
        c.holdGripper(mv);
        c.update(std::chrono::steady_clock::now());
    });
}

FailingQvx::FailingQvx()
    : m_peer([this](const link::LinkMessage& request, int /*index*/) -> std::vector<Bytes> {
          constexpr int kReadRam = 3;
          if (request.code == kReadRam && request.address == m_failRamRead) {
              return {};
          }
          return m_memory.serve(request);
      }) {
    // A record in order, 2500 mV at the gripper, switch-point mode.
    const std::array<int, 5> record{rawOf(1100), rawOf(1500), rawOf(2300), rawOf(3100),
                                    rawOf(3600)};
    m_memory.put(m_memory.eeprom, 1, wordsOf(record));
    const int gripper = rawOf(2500);
    m_memory.put(m_memory.ram, 32,
                 {static_cast<std::uint8_t>(gripper >> 8), static_cast<std::uint8_t>(gripper)});
    connectQuickly(document, m_peer.port());
}

void FailingQvx::failEepromRead(std::uint16_t address) {
    const std::lock_guard lock(m_memory.mutex);
    m_memory.failReadsAt = {address};
}

void FailingQvx::setRam(std::uint16_t address, std::uint8_t value) {
    m_memory.put(m_memory.ram, address, {value});
}

std::vector<Write> FailingQvx::writes() const {
    std::vector<Write> found;
    for (const link::LinkMessage& request : m_peer.requests()) {
        if (request.code == kWriteEeprom || request.code == kWriteRam) {
            found.push_back({request.code, request.address, request.data});
        }
    }
    return found;
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
    ++s_alive;
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    m_timer.start();
}

MessageBoxAnswerer::MessageBoxAnswerer(QString buttonText) : MessageBoxAnswerer() {
    m_answerText = std::move(buttonText);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    --s_alive;
}

void MessageBoxAnswerer::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box == m_last || !box->isVisible()) {
        return;
    }
    m_last = box;
    Seen seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.buttons = box->standardButtons();
    seen.defaultButton = box->standardButton(box->defaultButton());
    QAbstractButton* button = nullptr;
    for (QAbstractButton* candidate : box->buttons()) {
        seen.buttonTexts << candidate->text();
        if (!m_answerText.isEmpty() && candidate->text() == m_answerText) {
            button = candidate;
        }
    }
    if (box->defaultButton() != nullptr) {
        seen.defaultText = box->defaultButton()->text();
    }
    m_seen.push_back(seen);
    if (m_answerText.isEmpty()) {
        button = box->button(m_answer);
    }
    if (button == nullptr) {
        button = box->button(QMessageBox::Ok);
    }
    if (button == nullptr) {
        // Closed all the same, so that the test goes on to its end instead of waiting.
        ADD_FAILURE() << "no button to answer " << box->text().toStdString();
        box->reject();
        return;
    }
    button->click();
}

UnexpectedDialogGuard::UnexpectedDialogGuard() {
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || MessageBoxAnswerer::anyAlive()) {
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ADD_FAILURE() << "unexpected dialog: "
                      << (box != nullptr ? box->text() : dialog->windowTitle()).toStdString();
        dialog->reject();
    });
    m_timer.start();
}

QStringList MessageBoxAnswerer::texts() const {
    QStringList all;
    for (const Seen& box : m_seen) {
        all << box.text;
    }
    return all;
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "qvx_programming_test.XXXXXX").string();
    path = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::unique_ptr<CViewProgrammierung> makeView(document::CQvx_controllerDoc& document, QString saveName,
                                              QString openName) {
    auto view = std::make_unique<CViewProgrammierung>(document);
    view->setFileDialogs(
        {[saveName](QWidget*) { return saveName; }, [openName](QWidget*) { return openName; }});
    view->resize(900, 400);
    view->show();
    view->OnInitialUpdate();
    return view;
}

void click(QWidget& view, const char* objectName) {
    auto* button = view.findChild<QPushButton*>(QString::fromLatin1(objectName));
    ASSERT_NE(button, nullptr) << objectName;
    button->click();
}

QString textOf(QWidget& view, const char* objectName) {
    auto* edit = view.findChild<QLineEdit*>(QString::fromLatin1(objectName));
    EXPECT_NE(edit, nullptr) << objectName;
    return edit != nullptr ? edit->text() : QString();
}

void type(QWidget& view, const char* objectName, const QString& text) {
    auto* edit = view.findChild<QLineEdit*>(QString::fromLatin1(objectName));
    ASSERT_NE(edit, nullptr) << objectName;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

float mvOf(int raw) {
    return link::CalibrationTable::rawToMv(static_cast<std::uint16_t>(raw));
}

int rawOf(float mv) {
    std::uint16_t raw = 0;
    EXPECT_TRUE(link::CalibrationTable::mvToRaw(mv, raw));
    return raw;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

GermanLocale::GermanLocale() : m_previous(std::locale()) {
    // The locale is generated into a scratch folder when the system has not installed it.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        const std::string output = (m_scratch.path / "de_DE.UTF-8").string();
        const char* argv[] = {"localedef", "-c",    "-i",           "de_DE",
                              "-f",        "UTF-8", output.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (::posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(argv),
                           environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
        // The tests run on one thread; nothing reads the environment meanwhile.
        ::setenv("LOCPATH", m_scratch.path.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
            ::unsetenv("LOCPATH");  // NOLINT(concurrency-mt-unsafe)
            return;
        }
    }
    std::locale::global(std::locale("de_DE.UTF-8"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_available = true;
}

GermanLocale::~GermanLocale() {
    std::setlocale(LC_ALL, "C");
    std::locale::global(m_previous);
    QLocale::setDefault(QLocale::c());
    ::unsetenv("LOCPATH");  // NOLINT(concurrency-mt-unsafe)
}

}  // namespace qvx::views::test
