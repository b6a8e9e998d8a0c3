// The English user interface: the translation covers every text the program marks, and no view
// shows a German text when the program speaks English. The German texts are the source; the
// main() of this binary installs the English translation the way `--lang en` does.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QXmlStreamReader>
#include <map>
#include <set>

#include "app/main_frame.h"
#include "app/ui_language.h"
#include "connection/dialogs/dlg_neue_verbindung.h"
#include "document/document.h"
#include "platform/user_text.h"
#include "resources/ui_text.h"
#include "views/diagnostic_log_window.h"
#include "views/widgets/angular_gauge.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/time_plot.h"

using qvx::app::CMainFrame;

namespace {

/// Answers every text of the program with its German source, ahead of the English
/// translation: the program as it is in German.
class SourceTexts : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        return qstrcmp(context, qvx::platform::kTextContext) == 0 ? QString::fromUtf8(sourceText)
                                                                  : QString();
    }
    bool isEmpty() const override { return false; }
};

struct Message {
    QString source;
    QString translation;
    QString type;  ///< "unfinished", "vanished", "obsolete" or empty for a finished one
};

std::vector<Message> readTs(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<Message> messages;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("message")) {
            messages.emplace_back();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("source") &&
                   !messages.empty()) {
            messages.back().source = xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("translation") &&
                   !messages.empty()) {
            messages.back().type = xml.attributes().value(QLatin1String("type")).toString();
            messages.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

/// The placeholders (%1 ... %9, %d) of a text, sorted.
QStringList placeholders(const QString& text) {
    QStringList found;
    static const QRegularExpression placeholder(QStringLiteral("%[1-9d]"));
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
        found << match.captured();
    }
    found.sort();
    return found;
}

bool hasAccelerator(const QString& text) {
    return QString(text).remove(QStringLiteral("&&")).contains(QLatin1Char('&'));
}

/// Every text a user reads on `root` and its children: captions, titles, menu entries, the
/// plots' and lamps' own texts and what assistive technology reads out.
std::vector<QString> visibleTexts(const QWidget& root) {
    std::vector<QString> texts{root.windowTitle()};
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(const_cast<QWidget*>(&root));
    for (const QWidget* widget : widgets) {
        texts.push_back(widget->accessibleName());
        texts.push_back(widget->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            texts.push_back(label->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            texts.push_back(button->text());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            texts.push_back(group->title());
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget);
                   edit != nullptr && edit->isReadOnly()) {
            texts.push_back(edit->text());  // what the program writes; the user's entries are data
        } else if (const auto* menu = qobject_cast<const QMenu*>(widget)) {
            texts.push_back(menu->title());
        } else if (const auto* lamp = qobject_cast<const qvx::widgets::RectangularLed*>(widget)) {
            texts.push_back(lamp->caption());
        } else if (const auto* gauge = qobject_cast<const qvx::widgets::AngularGauge*>(widget)) {
            texts.push_back(gauge->minLabel());
            texts.push_back(gauge->maxLabel());
        } else if (const auto* plot = qobject_cast<const qvx::widgets::TimePlot*>(widget)) {
            texts.push_back(plot->title());
            texts.push_back(plot->xAxis().title());
            for (int k = 0; k < qvx::widgets::TimePlot::kYAxisCount; ++k) {
                texts.push_back(plot->yAxis(k).title());
                for (const auto& tick : plot->yAxis(k).tickLabels()) {
                    texts.push_back(tick.text);
                }
            }
            for (int k = 0; k < qvx::widgets::TimePlot::kChannelCount; ++k) {
                texts.push_back(plot->channel(k).name());
            }
        }
    }
    for (const QAction* action : root.findChildren<QAction*>()) {
        texts.push_back(action->text());
    }
    std::erase_if(texts, [](const QString& text) { return text.trimmed().isEmpty(); });
    return texts;
}

/// The texts the user reads in every view of the main window and in its dialogs.
std::vector<QString> textsOfEveryView() {
    qvx::document::CQvx_controllerDoc document;
    CMainFrame frame(document);
    std::vector<QString> texts = visibleTexts(frame);
    for (const int view :
         {CMainFrame::kProgramming, CMainFrame::kRecording, CMainFrame::kCalibration,
          CMainFrame::kService, CMainFrame::kOperatingState}) {
        if (view == CMainFrame::kCalibration) {
            // The calibration view warns first; its box is read and confirmed.
            QTimer::singleShot(0, [&texts] {
                QWidget* box = QApplication::activeModalWidget();
                ASSERT_NE(box, nullptr);
                const std::vector<QString> shown = visibleTexts(*box);
                texts.insert(texts.end(), shown.begin(), shown.end());
                box->close();
            });
        }
        frame.SwitchView(view);
        const std::vector<QString> shown = visibleTexts(*frame.lowerView());
        texts.insert(texts.end(), shown.begin(), shown.end());
    }
    const qvx::views::DiagnosticLogWindow log(document);
    const qvx::connection::CDlgNeueVerbindung dialog(document.link());
    const qvx::connection::CDlgDialing dialing(QStringLiteral("0123"));
    for (const QWidget* window : std::initializer_list<const QWidget*>{&log, &dialog, &dialing}) {
        const std::vector<QString> shown = visibleTexts(*window);
        texts.insert(texts.end(), shown.begin(), shown.end());
    }
    return texts;
}

/// A pattern that matches `german` as shown, with any text where it has a placeholder and
/// after it when it ends in a space (the start of a composed message).
QRegularExpression shownAs(const QString& german) {
    QString pattern = QRegularExpression::escape(german);
    pattern.replace(QRegularExpression(QStringLiteral("%[1-9d]")), QStringLiteral(".*"));
    if (german.endsWith(QLatin1Char(' '))) {
        pattern += QStringLiteral(".*");
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption);
}

}  // namespace

TEST(EnglishTranslation, EveryMarkedTextHasAFinishedTranslationThatKeepsItsPlaceholders) {
    // lupdate collects the marked texts of today's sources into a copy of the translation, so a
    // text added, changed or removed since the translation was written shows up here.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString copy = scratch.filePath(QStringLiteral("qvx_controller_en.ts"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QVX_ENGLISH_TS), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(QVX_LUPDATE),
                  {QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("@" QVX_TRANSLATED_SOURCES), QStringLiteral("-ts"), copy});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

    const std::vector<Message> messages = readTs(copy);
    EXPECT_GT(messages.size(), 250U);
    for (const Message& message : messages) {
        const std::string source = message.source.toStdString();
        EXPECT_TRUE(message.type.isEmpty()) << message.type.toStdString() << ": " << source;
        EXPECT_FALSE(message.translation.trimmed().isEmpty()) << source;
        EXPECT_EQ(placeholders(message.translation), placeholders(message.source)) << source;
        EXPECT_EQ(hasAccelerator(message.translation), hasAccelerator(message.source)) << source;
        // Composed messages go on after a trailing space; a translation keeps it.
        EXPECT_EQ(message.translation.endsWith(QLatin1Char(' ')),
                  message.source.endsWith(QLatin1Char(' ')))
            << source;
    }
}

TEST(EnglishTranslation, ReachesTheQtFreeLayersWithTheirArguments) {
    EXPECT_EQ(qvx::platform::userText(QT_TRANSLATE_NOOP("qvx", "Verbindung verloren: ")),
              "Connection lost: ");
    EXPECT_EQ(
        qvx::platform::userText(
            QT_TRANSLATE_NOOP(
                "qvx", "Keine passende Antwort auf %1 Adresse %2 Länge %3 (Versuch %4 von %5)"),
            {"ReadRamDataReq", "16", "4", "2", "3"}),
        "No matching reply to ReadRamDataReq address 16 length 4 (attempt 2 of 3)");
    // A text that is not in the translation stays as it is; %-signs without an argument too.
    EXPECT_EQ(qvx::platform::userText("100 %1 %9", {"x"}), "100 x %9");
}

TEST(EnglishInterface, NoViewOrDialogShowsAGermanText) {
    const std::vector<QString> english = textsOfEveryView();
    ASSERT_GT(english.size(), 100U);

    // A text that is shown the same in both languages must be one the translation keeps
    // ("Service", "Modem", "mV"); any other was never marked for translation.
    // The program's name, the help menu, and the default gateway host (a setting, not a text).
    std::set<QString> kept{QStringLiteral("qvx_controller"), QStringLiteral("&?"),
                           QStringLiteral("OK"), QStringLiteral("localhost")};
    std::vector<QRegularExpression> german;
    for (const Message& message : readTs(QStringLiteral(QVX_ENGLISH_TS))) {
        if (message.translation == message.source) {
            kept.insert(message.source);
        } else {
            german.push_back(shownAs(message.source));
        }
    }
    SourceTexts sourceTexts;
    ASSERT_TRUE(QCoreApplication::installTranslator(&sourceTexts));
    const std::vector<QString> inGerman = textsOfEveryView();
    QCoreApplication::removeTranslator(&sourceTexts);
    const std::set<QString> germanTexts(inGerman.begin(), inGerman.end());
    EXPECT_NE(germanTexts, std::set<QString>(english.begin(), english.end()));

    static const QRegularExpression word(QStringLiteral("[A-Za-zÄÖÜäöüß]{3,}"));
    for (const QString& text : english) {
        for (const QRegularExpression& pattern : german) {
            EXPECT_FALSE(pattern.match(text).hasMatch())
                << "German text in the English interface: " << text.toStdString();
        }
        if (germanTexts.count(text) != 0 && text.contains(word) && kept.count(text) == 0) {
            ADD_FAILURE() << "shown the same in German and English, not translated: "
                          << text.toStdString();
        }
    }
}
