#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app_texts.h"
#include "app/lower_views.h"
#include "document/document.h"
#include "resources/ui_text.h"
#include "views/device_backup_commands.h"
#include "views/diagnostic_log_window.h"
#include "views/link_status_bar.h"
#include "views/ui_state.h"
#include "views/valid_form.h"
#include "views/view_fixpart.h"
#include "views/view_texts.h"

namespace qvx::app {

namespace {
constexpr int kFixedPaneHeight = 240;
constexpr int kRestoredWidth = 744;
constexpr int kRestoredHeight = 600;
}  // namespace

CMainFrame::CMainFrame(document::CQvx_controllerDoc& document)
    : m_document(document),
      m_splitter(new QSplitter(Qt::Vertical)),
      m_log(new views::DiagnosticLogWindow(document, this)),
      m_statusBar(new views::LinkStatusBar(document)) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("qvx_controller"));
    setWindowIcon(QIcon(QStringLiteral(":/qvx/icons/qvx.svg")));
    resize(kRestoredWidth, kRestoredHeight);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    auto* fixed = new views::CViewFixpart(
        document, [this](int n) { SwitchView(n); },
        [this]() -> document::DocumentView* { return qobject_cast<views::CValidForm*>(lowerView()); });
    m_splitter->addWidget(fixed);
    setCentralWidget(m_splitter);
    setStatusBar(m_statusBar);
    buildMenu();
    SwitchView(kOperatingState);
    m_splitter->setSizes({kFixedPaneHeight, kRestoredHeight - kFixedPaneHeight});
    fixed->OnInitialUpdate();
}

CMainFrame::~CMainFrame() = default;

QWidget* CMainFrame::fixedPane() const { return m_splitter->widget(0); }

QWidget* CMainFrame::lowerView() const { return m_splitter->count() > 1 ? m_splitter->widget(1) : nullptr; }

void CMainFrame::SwitchView(int n) {
    if (n < kProgramming || n > kService) {
        return;
    }
    auto* current = qobject_cast<views::CValidForm*>(lowerView());
    if (current != nullptr && n == m_current) {
        current->OnInitialUpdate();
        return;
    }
    const QList<int> sizes = m_splitter->sizes();
    views::CValidForm* view = createLowerView(n, m_document);
    if (current != nullptr) {
        m_document.removeView(current);
        current->hide();
        current->deleteLater();
        current->setParent(nullptr);
    }
    m_splitter->insertWidget(1, view);
    m_current = n;
    m_document.addView(view);
    view->OnInitialUpdate();
    if (sizes.size() == 2) {
        m_splitter->setSizes(sizes);
    }
    if (n == kCalibration) {
        QMessageBox::warning(this, uiText(views::texts::kAttention),
                             uiText(views::texts::kCalibrationWarning));
    }
}

void CMainFrame::buildMenu() {
    QMenu* file = menuBar()->addMenu(uiText(texts::kMenuFile));
    QMenu* unit = file->addMenu(uiText(texts::kMenuDefaultUnit));
    m_millimetres = unit->addAction(QStringLiteral("mm"));
    m_tenthInches = unit->addAction(QStringLiteral("1/10 ''"));
    m_millimetres->setObjectName(QStringLiteral("unitMillimetres"));
    m_tenthInches->setObjectName(QStringLiteral("unitTenthInches"));
    for (QAction* action : {m_millimetres, m_tenthInches}) {
        action->setCheckable(true);
    }
    auto* group = new QActionGroup(this);
    group->addAction(m_millimetres);
    group->addAction(m_tenthInches);
    connect(m_millimetres, &QAction::triggered, this, [this] { setInchUnit(0); });
    connect(m_tenthInches, &QAction::triggered, this, [this] { setInchUnit(1); });
    file->addSeparator();
    addBackupActions(*file);
    file->addSeparator();
    QAction* quit = file->addAction(uiText(texts::kQuit));
    quit->setObjectName(QStringLiteral("quit"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* link = menuBar()->addMenu(uiText(texts::kMenuLink));
    QAction* connectLink = link->addAction(uiText(texts::kConnectLink));
    connectLink->setObjectName(QStringLiteral("connectLink"));
    QAction* disconnectLink = link->addAction(uiText(texts::kDisconnectLink));
    disconnectLink->setObjectName(QStringLiteral("disconnectLink"));
    // Inside another operation's wait a new connection would pull the link from under it.
    connect(connectLink, &QAction::triggered, this, [this] {
        if (views::uiEnabled()) {
            emit connectRequested();
        }
    });
    connect(disconnectLink, &QAction::triggered, this, [this] {
        if (views::uiEnabled()) {
            emit disconnectRequested();
        }
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    QAction* helpFile = help->addAction(uiText(texts::kHelp));
    helpFile->setObjectName(QStringLiteral("help"));
    connect(helpFile, &QAction::triggered, this, &CMainFrame::showHelp);
    QAction* about = help->addAction(uiText(texts::kAbout));
    about->setObjectName(QStringLiteral("about"));
    connect(about, &QAction::triggered, this, &CMainFrame::showAbout);
    QAction* log = help->addAction(uiText(views::texts::kLogWindowTitle));
    log->setObjectName(QStringLiteral("showDiagnosticLog"));
    connect(log, &QAction::triggered, this, &CMainFrame::showDiagnosticLog);
    syncUnitMenu();
}

void CMainFrame::addBackupActions(QMenu& file) {
    auto* backups = new views::DeviceBackupCommands(m_document, this);
    backups->setObjectName(QStringLiteral("deviceBackupCommands"));
    QAction* save = file.addAction(uiText(views::texts::kBackupSaveAction));
    save->setObjectName(QStringLiteral("saveDeviceBackup"));
    connect(save, &QAction::triggered, backups, &views::DeviceBackupCommands::save);
    QAction* restore = file.addAction(uiText(views::texts::kBackupRestoreAction));
    restore->setObjectName(QStringLiteral("restoreDeviceBackup"));
    connect(restore, &QAction::triggered, backups, &views::DeviceBackupCommands::restore);
    // The lower view shows what the controller now holds.
    connect(backups, &views::DeviceBackupCommands::controllerChanged, this,
            [this] { SwitchView(m_current); });
}

void CMainFrame::syncUnitMenu() {
    const bool inch = m_document.inchUnit == 1;
    m_millimetres->setChecked(!inch);
    m_tenthInches->setChecked(inch);
}

void CMainFrame::setInchUnit(int inchUnit) {
    m_document.inchUnit = inchUnit;
    syncUnitMenu();
}

void CMainFrame::showHelp() {
    const QString path = QDir::current().filePath(QStringLiteral("qvx_help.hlp"));
    if (!QFileInfo::exists(path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::information(this, QStringLiteral("qvx_controller"),
                                 uiText(texts::kHelpMissing).arg(QDir::toNativeSeparators(path)));
    }
}

void CMainFrame::showAbout() {
    QDialog about(this);
    about.setObjectName(QStringLiteral("aboutBox"));
    about.setWindowTitle(uiText(texts::kAboutTitle));
    auto* icon = new QLabel;
    icon->setPixmap(windowIcon().pixmap(48, 48));
    auto* text = new QLabel(QStringLiteral("qvx_controller Version 1.0"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&about);
    layout->addLayout(row);
    layout->addWidget(buttons);
    about.exec();
}

void CMainFrame::showDiagnosticLog() {
    m_log->show();
    m_log->raise();
    m_log->activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!views::uiEnabled()) {
        event->ignore();
        // An operation that can be cut short (a recording transfer) is asked to stop, and the
        // window closes once it has; the others keep closing inert.
        (void)views::cancelBusyOperations([frame = QPointer<CMainFrame>(this)] {
            if (frame) {
                QMetaObject::invokeMethod(
                    frame, [frame] { (void)frame->close(); }, Qt::QueuedConnection);
            }
        });
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace qvx::app
