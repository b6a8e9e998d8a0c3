#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "document/document.h"
#include "link/link_message.h"
#include "sim/sim_server.h"
#include "tests/support/memory_controller.h"
#include "views/view_programmierung.h"

/// Readable QStrings in test failures.
void PrintTo(const QString& text, std::ostream* out);

namespace qvx::views::test {

using Bytes = std::vector<std::uint8_t>;

/// A write request as the controller received it.
struct Write {
    int code;               ///< 4: EEPROM, 6: RAM
    std::uint16_t address;  ///< first byte written
    Bytes data;             ///< the bytes

    bool operator==(const Write&) const = default;
};

/// The in-process simulated controller with a document connected to it, the calibration
/// table read, the gripper held still and the status byte at 0. Records every write request.
class SimulatedQvx {
public:
    SimulatedQvx();
    ~SimulatedQvx();

    /// Write requests received since the last call.
    [[nodiscard]] std::vector<Write> takeWrites();
    /// `count` EEPROM bytes from `address`.
    [[nodiscard]] Bytes eeprom(std::uint32_t address, std::size_t count);
    /// The five input-record words.
    [[nodiscard]] std::array<int, 5> inputRecord();
    [[nodiscard]] int statusByte();
    void setStatusByte(std::uint8_t value);
    void setInputRecordMv(const std::array<float, 5>& mv);
    void holdGripperMv(double mv);

    document::CQvx_controllerDoc document;

private:
    std::mutex m_mutex;
    std::vector<Write> m_writes;  // guarded by m_mutex
    std::unique_ptr<sim::SimServer> m_server;
};

/// A memory-backed controller whose reads of chosen cells go unanswered, for read failures.
class FailingQvx {
public:
    FailingQvx();

    /// Reads of this RAM cell get no confirm.
    void failRamRead(std::uint16_t address) { m_failRamRead = address; }
    /// Reads of this EEPROM cell get no confirm.
    void failEepromRead(std::uint16_t address);
    /// Puts a byte into the controller's RAM.
    void setRam(std::uint16_t address, std::uint8_t value);
    /// Write requests received so far.
    [[nodiscard]] std::vector<Write> writes() const;

    document::CQvx_controllerDoc document;

private:
    qvx::test::ControllerMemory m_memory;
    std::atomic<int> m_failRamRead{-1};
    qvx::test::ScriptedPeer m_peer;
};

/// Answers every message box that opens while it lives, recording what each one showed.
class MessageBoxAnswerer : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QStringList buttonTexts;  ///< every button's text, in the order of the box's buttons
        QString defaultText;      ///< the default button's text
    };

    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
    /// Answers with the button that shows `buttonText` (for boxes with buttons of their own).
    explicit MessageBoxAnswerer(QString buttonText);
    ~MessageBoxAnswerer() override;
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    /// True while an answerer exists.
    [[nodiscard]] static bool anyAlive() { return s_alive > 0; }
    [[nodiscard]] const std::vector<Seen>& seen() const { return m_seen; }
    [[nodiscard]] QStringList texts() const;

private:
    void poll();

    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    QString m_answerText;  // when not empty, the button to press by its text
    QTimer m_timer;
    QPointer<QMessageBox> m_last;
    std::vector<Seen> m_seen;
    static inline int s_alive = 0;  // answerers alive (user-interface thread only)
};

/// Fails the running test when a dialog opens that no MessageBoxAnswerer is there to answer,
/// and closes it, so that a test never waits for a click that will not come.
class UnexpectedDialogGuard : public QObject {
public:
    UnexpectedDialogGuard();

private:
    QTimer m_timer;
};

/// A fresh folder under the temporary directory, removed afterwards.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

/// A programming view of `document` whose file dialogs answer with the given names, shown and
/// initialised.
std::unique_ptr<CViewProgrammierung> makeView(document::CQvx_controllerDoc& document,
                                              QString saveName = {}, QString openName = {});

/// Clicks the child button with this object name.
void click(QWidget& view, const char* objectName);
/// The text of the child line edit with this object name.
[[nodiscard]] QString textOf(QWidget& view, const char* objectName);
/// Types `text` into the child line edit with this object name, as the user would.
void type(QWidget& view, const char* objectName, const QString& text);

/// The voltage of a raw word, mV.
[[nodiscard]] float mvOf(int raw);
/// The raw word of a voltage.
[[nodiscard]] int rawOf(float mv);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

/// Switches the C library, the C++ global locale and Qt's default locale to German (decimal
/// comma) for its lifetime. `available()` is false when the machine cannot provide it.
class GermanLocale {
public:
    GermanLocale();
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;
    [[nodiscard]] bool available() const { return m_available; }

private:
    TempDir m_scratch;
    std::locale m_previous;
    bool m_available = false;
};

}  // namespace qvx::views::test
