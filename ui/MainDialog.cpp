#include "ui/MainDialog.h"

#include "engine/TraceSwitch.h"
#include "platform/Autostart.h"
#include "platform/Platform.h"
#include "platform/PosixPlatform.h"
#include "services/EventLog.h"
#include "ui/AboutDialog.h"
#include "ui/AlertSelectionDialog.h"
#include "ui/KindEditors.h"
#include "ui/TextCodec.h"
#include "ui/WatchSelectionDialog.h"
#include "ui_MainDialog.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMenu>

#include <algorithm>
#include <utility>

namespace sentrel {

namespace {

constexpr int kTrayIconId = 143;
constexpr int kTrayBalloonSeconds = 10;
constexpr std::uint32_t kTrayWaitMs = 30000;
constexpr int kTrayLookMs = 500;

// A list entry: the name as shown, and the stored bytes it was shown from. The lists sort
// themselves alphabetically, ignoring case.
class NameItem : public QListWidgetItem {
public:
    explicit NameItem(const std::string& name) : QListWidgetItem(FromStored(name)) {
        setData(Qt::UserRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

template <class List> void Refill(QListWidget* list, const List& records) {
    list->clear();
    for (const auto& record : records) {
        list->addItem(new NameItem(record->name));
    }
}

void SelectEntry(QListWidget* list, QListWidgetItem* item) {
    if (item) {
        list->setCurrentItem(item);
        list->scrollToItem(item);
    }
}

// After a New or an Edit: the entry of the record just saved.
void SelectName(QListWidget* list, const std::string& name) {
    const QByteArray key(name.data(), static_cast<qsizetype>(name.size()));
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toByteArray() == key) {
            SelectEntry(list, list->item(row));
            return;
        }
    }
}

int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

// After a Delete: the entry that took the deleted one's place, or the last.
void SelectRow(QListWidget* list, int row) {
    if (row >= 0 && list->count() > 0) {
        SelectEntry(list, list->item(std::min(row, list->count() - 1)));
    }
}

void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) {
    Platform().messageBox->Show(text, "Sentrel", icon);
}

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/sentrel-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

CMainDialog::CMainDialog(QWidget* frame)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::MainDialog>()), m_frame(frame),
      m_doc(Platform().paths->DataDir() + "/Sentrel.bin"),
      m_tray(std::make_unique<CTrayNotifyIcon>()) {
    m_ui->setupUi(this);

    for (std::size_t id = 1; id < m_timers.size(); ++id) {
        connect(&m_timers[id], &QTimer::timeout, this,
                [this, id] { m_engine->OnTimer(static_cast<int>(id)); });
    }
    m_engine = std::make_unique<CEngine>(m_doc, *this);

    connect(m_ui->newWatchButton, &QPushButton::clicked, this, &CMainDialog::OnNewWatch);
    connect(m_ui->editWatchButton, &QPushButton::clicked, this, &CMainDialog::OnEditWatch);
    connect(m_ui->deleteWatchButton, &QPushButton::clicked, this, &CMainDialog::OnDeleteWatch);
    connect(m_ui->watchList, &QListWidget::itemDoubleClicked, this, &CMainDialog::OnEditWatch);
    connect(m_ui->newActivationButton, &QPushButton::clicked, this, &CMainDialog::OnNewActivation);
    connect(m_ui->editActivationButton, &QPushButton::clicked, this,
            &CMainDialog::OnEditActivation);
    connect(m_ui->deleteActivationButton, &QPushButton::clicked, this,
            &CMainDialog::OnDeleteActivation);
    connect(m_ui->activationList, &QListWidget::itemDoubleClicked, this,
            &CMainDialog::OnEditActivation);
    connect(m_ui->newAlertButton, &QPushButton::clicked, this, &CMainDialog::OnNewAlert);
    connect(m_ui->editAlertButton, &QPushButton::clicked, this, &CMainDialog::OnEditAlert);
    connect(m_ui->deleteAlertButton, &QPushButton::clicked, this, &CMainDialog::OnDeleteAlert);
    connect(m_ui->alertList, &QListWidget::itemDoubleClicked, this, &CMainDialog::OnEditAlert);
    connect(m_ui->traceCheck, &QCheckBox::clicked, this, &CMainDialog::OnTrace);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CMainDialog::OnStart);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &CMainDialog::OnStop);
    connect(m_ui->aboutButton, &QPushButton::clicked, this, &CMainDialog::OnAbout);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CMainDialog::OnHelp);
    connect(m_ui->minimiseButton, &QPushButton::clicked, this, &CMainDialog::OnMinimise);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CMainDialog::OnExit);
    connect(m_tray.get(), &CTrayNotifyIcon::command, this, &CMainDialog::OnTrayCommand);
    m_trayWait.setInterval(kTrayLookMs);
    connect(&m_trayWait, &QTimer::timeout, this, &CMainDialog::OnTrayWait);
}

CMainDialog::~CMainDialog() {
    // The engine refers to the timers and the document: it goes first.
    m_engine.reset();
    m_tray.reset();
}

bool CMainDialog::Initialise() {
    Log("Sentrel", "Started"); // the trace is not open yet: never written
    const std::string dataDir = Platform().paths->DataDir();
    if (dataDir.empty()) {
        ShowMessage(Platform().paths->DataDirProblem(), MessageIcon::Stop);
        return false;
    }
    CTraceFile::Instance().SetPath(dataDir + "/trace.txt");
    m_doc.SetStorePath(dataDir + "/Sentrel.bin");

    setWindowIcon(ProgramIcon());

    m_doc.Load();
    if (m_doc.GetStoreState() == StoreState::Unreadable) {
        return false; // the load has said why; nothing may be saved over that store
    }
    RefillWatches();
    RefillActivations();
    RefillAlerts();

    m_ui->traceCheck->setChecked(m_doc.traceOn);

    if (!m_tray->CreateIcon(this, m_frame, kTrayIconId, "Sentrel", "Sentrel",
                            "Manipulate alerts sent to your mobile", kTrayBalloonSeconds,
                            CTrayNotifyIcon::BalloonInfo, ProgramIcon(), 0)) {
        // The window goes on without the icon: it still needs its engine buttons and the
        // trace the box shows. Without a notification area yet, the icon may still come.
        if (m_tray->GetMenu()) {
            m_trayWaitStart = Platform().clock->TickCount();
            m_trayWait.start();
        } else {
            ShowMessage("Failed to create tray icon", MessageIcon::Stop);
        }
    }
    if (QMenu* menu = m_tray->GetMenu()) {
        ShowStartAtLogin();
        // The entry may be changed outside the program (the desktop's own settings).
        connect(menu, &QMenu::aboutToShow, this, &CMainDialog::ShowStartAtLogin);
    }

    m_ui->startButton->setEnabled(true);
    m_ui->stopButton->setEnabled(false);

    ApplyTraceSwitch(m_doc, m_ui->traceCheck->isChecked());
    return true;
}

void CMainDialog::ShowAtStart(bool minimised) {
    m_hiddenForTray = minimised && (m_tray->IsCreated() || m_trayWait.isActive());
    if (!m_hiddenForTray) {
        show();
    }
}

void CMainDialog::SetTimer(int id, unsigned ms) {
    if (id > 0 && id < static_cast<int>(m_timers.size())) {
        m_timers[static_cast<std::size_t>(id)].start(static_cast<int>(ms));
    }
}

void CMainDialog::KillTimer(int id) {
    if (id > 0 && id < static_cast<int>(m_timers.size())) {
        m_timers[static_cast<std::size_t>(id)].stop();
    }
}

bool CMainDialog::IsTimerActive(int id) const {
    return id > 0 && id < static_cast<int>(m_timers.size()) &&
           m_timers[static_cast<std::size_t>(id)].isActive();
}

bool CMainDialog::SelectedName(const QListWidget* list, std::string& name) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return false;
    }
    const QByteArray bytes = selected.front()->data(Qt::UserRole).toByteArray();
    name.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

void CMainDialog::RefillWatches() {
    Refill(m_ui->watchList, m_doc.watches);
}

void CMainDialog::RefillActivations() {
    Refill(m_ui->activationList, m_doc.activations);
}

void CMainDialog::RefillAlerts() {
    Refill(m_ui->alertList, m_doc.alerts);
}

void CMainDialog::OnNewWatch() {
    CWatchSelectionDialog selection(this);
    selection.setWindowModality(Qt::WindowModal);
    if (selection.exec() != QDialog::Accepted) {
        return;
    }
    std::unique_ptr<CWatch> watch = NewWatch(selection.Selection(), m_doc, this);
    if (!watch) {
        return;
    }
    m_doc.watches.push_back(std::move(watch));
    m_doc.Save();
    RefillWatches();
    SelectName(m_ui->watchList, m_doc.watches.back()->name);
}

void CMainDialog::OnEditWatch() {
    std::string name;
    if (!SelectedName(m_ui->watchList, name)) {
        ShowMessage("Select a Watch before clicking Edit");
        return;
    }
    CWatch* watch = m_doc.FindWatch(name);
    if (!watch) {
        return;
    }
    if (EditWatch(*watch, m_doc, this)) {
        m_doc.Save();
        RefillWatches();
        SelectName(m_ui->watchList, watch->name);
    }
}

void CMainDialog::OnDeleteWatch() {
    std::string name;
    if (!SelectedName(m_ui->watchList, name)) {
        ShowMessage("Select a Watch before clicking Delete");
        return;
    }
    CWatch* watch = m_doc.FindWatch(name);
    if (!watch) {
        return;
    }
    if (const CActivation* user = m_doc.FindUser(watch)) {
        ShowMessage("Unable to delete watch.\nWatch is is use by " + user->name);
        return;
    }
    const int row = SelectedRow(m_ui->watchList);
    m_doc.Remove(watch); // not saved: the next save point writes it
    RefillWatches();
    SelectRow(m_ui->watchList, row);
}

void CMainDialog::OnNewActivation() {
    auto activation = std::make_unique<CActivation>();
    if (!EditActivation(*activation, m_doc, this)) {
        return;
    }
    m_doc.activations.push_back(std::move(activation));
    m_doc.Save();
    RefillActivations();
    SelectName(m_ui->activationList, m_doc.activations.back()->name);
}

void CMainDialog::OnEditActivation() {
    std::string name;
    if (!SelectedName(m_ui->activationList, name)) {
        ShowMessage("Select an Activation before clicking Edit");
        return;
    }
    CActivation* activation = m_doc.FindActivation(name);
    if (!activation) {
        return;
    }
    if (EditActivation(*activation, m_doc, this)) {
        m_doc.Save();
        RefillActivations();
        SelectName(m_ui->activationList, activation->name);
    }
}

void CMainDialog::OnDeleteActivation() {
    std::string name;
    if (!SelectedName(m_ui->activationList, name)) {
        ShowMessage("Select an Activation before clicking Delete");
        return;
    }
    CActivation* activation = m_doc.FindActivation(name);
    if (!activation) {
        return;
    }
    const int row = SelectedRow(m_ui->activationList);
    m_doc.Remove(activation); // its watch and alerts stay
    RefillActivations();
    SelectRow(m_ui->activationList, row);
}

void CMainDialog::OnNewAlert() {
    CAlertSelectionDialog selection(this);
    selection.setWindowModality(Qt::WindowModal);
    if (selection.exec() != QDialog::Accepted) {
        return;
    }
    std::unique_ptr<CAlert> alert = NewAlert(selection.Selection(), m_doc, this);
    if (!alert) {
        return;
    }
    m_doc.alerts.push_back(std::move(alert));
    m_doc.Save();
    RefillAlerts();
    SelectName(m_ui->alertList, m_doc.alerts.back()->name);
}

void CMainDialog::OnEditAlert() {
    std::string name;
    if (!SelectedName(m_ui->alertList, name)) {
        ShowMessage("Select an Alert before clicking Edit");
        return;
    }
    CAlert* alert = m_doc.FindAlert(name);
    if (!alert) {
        return;
    }
    if (EditAlert(*alert, m_doc, this)) {
        m_doc.Save();
        RefillAlerts();
        SelectName(m_ui->alertList, alert->name);
    }
}

void CMainDialog::OnDeleteAlert() {
    std::string name;
    if (!SelectedName(m_ui->alertList, name)) {
        ShowMessage("Select an Alert before clicking Delete");
        return;
    }
    CAlert* alert = m_doc.FindAlert(name);
    if (!alert) {
        return;
    }
    if (const CActivation* user = m_doc.FindUser(alert)) {
        ShowMessage("Unable to delete alert.\nAlert is is use by " + user->name);
        return;
    }
    const int row = SelectedRow(m_ui->alertList);
    m_doc.Remove(alert);
    RefillAlerts();
    SelectRow(m_ui->alertList, row);
}

void CMainDialog::OnStart() {
    m_engine->Start();
    m_ui->startButton->setEnabled(false);
    m_ui->stopButton->setEnabled(true);
}

void CMainDialog::OnStop() {
    m_engine->Stop();
    m_ui->startButton->setEnabled(true);
    m_ui->stopButton->setEnabled(false);
}

void CMainDialog::OnTrace() {
    ApplyTraceSwitch(m_doc, m_ui->traceCheck->isChecked());
}

void CMainDialog::OnAbout() {
    CAboutDialog about(QFile::decodeName(m_doc.StorePath().c_str()), this);
    about.setWindowModality(Qt::WindowModal);
    about.exec();
}

void CMainDialog::OnHelp() {
    Platform().help->Open(HelpFile(ExecutableDir()));
}

void CMainDialog::OnMinimise() {
    if (m_tray->IsShown()) {
        hide(); // the tray icon brings it back
    } else {
        // Without an icon in the notification area a hidden window could never come
        // back: keep it on the taskbar.
        showMinimized();
    }
}

void CMainDialog::OnOpen() {
    showNormal();
    raise();
    activateWindow();
}

void CMainDialog::OnExit() {
    Log("Sentrel", "Exited");
    m_doc.Save();
    done(1);
}

void CMainDialog::OnStartAtLogin() {
    const std::string file = AutostartFileHere();
    std::string problem;
    if (!SetAutostart(file, !AutostartEnabled(file), ExecutablePath(), problem)) {
        ShowMessage(problem, MessageIcon::Warning);
    }
    ShowStartAtLogin();
}

void CMainDialog::ShowStartAtLogin() {
    if (QMenu* menu = m_tray->GetMenu()) {
        if (auto* item = menu->findChild<QAction*>("startAtLoginAction")) {
            item->setChecked(AutostartEnabled(AutostartFileHere()));
        }
    }
}

void CMainDialog::OnTrayWait() {
    if (m_tray->AddWhenAvailable()) {
        m_trayWait.stop();
        m_hiddenForTray = false;
    } else if (Platform().clock->TickCount() - m_trayWaitStart >= kTrayWaitMs) {
        m_trayWait.stop();
        if (std::exchange(m_hiddenForTray, false)) {
            show(); // started minimised, but there is nowhere to be minimised to
        }
        ShowMessage("Failed to create tray icon", MessageIcon::Stop);
    }
}

void CMainDialog::OnTrayCommand(int id) {
    if (id == kCommandOpen) {
        OnOpen();
    } else if (id == kCommandExit) {
        OnExit();
    } else if (id == kCommandStartAtLogin) {
        OnStartAtLogin();
    }
}

bool CMainDialog::event(QEvent* event) {
    if (event->type() == CTrayCallbackEvent::Type()) {
        const auto* callback = static_cast<CTrayCallbackEvent*>(event);
        m_tray->HandleTrayMessage(callback->id, callback->mouse);
        return true;
    }
    return QDialog::event(event);
}

} // namespace sentrel
