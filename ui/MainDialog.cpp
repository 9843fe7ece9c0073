#include "ui/MainDialog.h"

#include "platform/Autostart.h"
#include "platform/Platform.h"
#include "platform/PosixPlatform.h"
#include "services/EventLog.h"
#include "ui/AboutDialog.h"
#include "ui/ActivationStates.h"
#include "ui/KindEditors.h"
#include "ui/KindSelectionDialog.h"
#include "ui/TextCodec.h"
#include "ui_MainDialog.h"

#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sentrel {

namespace {

// At login the panel often starts after the program: its notification area is waited for
// this long before the program says that it has no icon.
constexpr std::uint32_t kTrayWaitMs = 30000;

// The record an entry was made for, beside its name: it tells duplicate names apart for
// the states the entries show. Every list is refilled when a record of it goes.
constexpr int kRecordRole = Qt::UserRole + 1;

// A list entry: the name as shown, and the stored bytes it was shown from. The lists sort
// themselves alphabetically, ignoring case.
class NameItem : public QListWidgetItem {
public:
    NameItem(const std::string& name, const CObject* record) : QListWidgetItem(FromStored(name)) {
        setData(Qt::UserRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        setData(kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record)));
    }
    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

const CObject* RecordOf(const QListWidgetItem* item) {
    return reinterpret_cast<const CObject*>(item->data(kRecordRole).value<quintptr>());
}

template <class List> void Refill(QListWidget* list, const List& records) {
    list->clear();
    for (const auto& record : records) {
        list->addItem(new NameItem(record->name, record.get()));
    }
}

// An entry shows its record's state by its icon; the tooltip and the accessible
// description say it in words.
void ShowView(QListWidgetItem* item, const StateView& view) {
    item->setIcon(StateIcon(view.state));
    item->setToolTip(view.text);
    item->setData(Qt::AccessibleDescriptionRole, view.text);
}

// The activations that check a watch.
std::vector<const CActivation*> UsersOf(const CSentrelDoc& doc, const CWatch* watch) {
    std::vector<const CActivation*> users;
    for (const auto& activation : doc.activations) {
        if (activation->GetWatch() == watch) {
            users.push_back(activation.get());
        }
    }
    return users;
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

// The save point of New, Edit and Delete: whatever ends the program next, the change stays.
void SaveStore(CSentrelSession& session) {
    session.Save();
}

// The stored name of the selected entry; false when nothing is selected.
bool SelectedName(const QListWidget* list, std::string& name) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return false;
    }
    const QByteArray bytes = selected.front()->data(Qt::UserRole).toByteArray();
    name.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

// One of the three lists, and what its New, Edit and Delete commands differ in.
template <class Record> struct RecordList {
    QListWidget* view;
    std::vector<std::unique_ptr<Record>>& records;
    CSentrelSession& session;
    CSentrelDoc& doc;
    CMainDialog* window; // shows the states again after a refill
    Record* (CSentrelDoc::*find)(const std::string& name) const;
    // The first activation that uses a record; null for records that nothing uses.
    CActivation* (CSentrelDoc::*user)(const Record* record) const;
    // A new record through its editor (not yet in the document); null when cancelled.
    std::unique_ptr<Record> (*create)(CSentrelDoc& doc, QWidget* window);
    // True when the editor was accepted.
    bool (*edit)(Record& record, CSentrelDoc& doc, QWidget* window);
    const char* selectBeforeEdit;
    const char* selectBeforeDelete;
    // Followed by the name of the activation that uses the record.
    const char* inUse;
};

// A watch or an alert: its kind is chosen first.
template <class Selection, class Record>
std::unique_ptr<Record> ChooseKind(std::unique_ptr<Record> (*create)(int, CSentrelDoc&, QWidget*),
                                   CSentrelDoc& doc, QWidget* window) {
    Selection selection(window);
    selection.setWindowModality(Qt::WindowModal);
    if (selection.exec() != QDialog::Accepted) {
        return nullptr;
    }
    return create(selection.Selection(), doc, window);
}

RecordList<CWatch> WatchList(Ui::MainDialog& ui, CSentrelSession& session, CMainDialog* window) {
    CSentrelDoc& doc = session.Doc();
    return {.view = ui.watchList,
            .records = doc.watches,
            .session = session,
            .doc = doc,
            .window = window,
            .find = &CSentrelDoc::FindWatch,
            .user = &CSentrelDoc::FindUser,
            .create =
                [](CSentrelDoc& doc, QWidget* window) {
                    return ChooseKind<CWatchSelectionDialog>(NewWatch, doc, window);
                },
            .edit = EditWatch,
            .selectBeforeEdit = "Select a Watch before clicking Edit",
            .selectBeforeDelete = "Select a Watch before clicking Delete",
            .inUse = "Unable to delete watch.\nWatch is in use by "};
}

RecordList<CAlert> AlertList(Ui::MainDialog& ui, CSentrelSession& session, CMainDialog* window) {
    CSentrelDoc& doc = session.Doc();
    return {.view = ui.alertList,
            .records = doc.alerts,
            .session = session,
            .doc = doc,
            .window = window,
            .find = &CSentrelDoc::FindAlert,
            .user = &CSentrelDoc::FindUser,
            .create =
                [](CSentrelDoc& doc, QWidget* window) {
                    return ChooseKind<CAlertSelectionDialog>(NewAlert, doc, window);
                },
            .edit = EditAlert,
            .selectBeforeEdit = "Select an Alert before clicking Edit",
            .selectBeforeDelete = "Select an Alert before clicking Delete",
            .inUse = "Unable to delete alert.\nAlert is in use by "};
}

// Deleting an activation leaves its watch and alerts; nothing uses an activation.
RecordList<CActivation> ActivationList(Ui::MainDialog& ui, CSentrelSession& session,
                                       CMainDialog* window) {
    CSentrelDoc& doc = session.Doc();
    return {.view = ui.activationList,
            .records = doc.activations,
            .session = session,
            .doc = doc,
            .window = window,
            .find = &CSentrelDoc::FindActivation,
            .user = nullptr,
            .create = NewActivation,
            .edit = EditActivation,
            .selectBeforeEdit = "Select an Activation before clicking Edit",
            .selectBeforeDelete = "Select an Activation before clicking Delete",
            .inUse = nullptr};
}

// On OK the record joins the tail of the document's list, the store is saved, and the
// new entry is selected.
template <class Record> void NewRecord(const RecordList<Record>& list) {
    {
        const auto held = list.session.HoldDocument(); // no save reads the records meanwhile
        std::unique_ptr<Record> record = list.create(list.doc, list.window);
        if (!record) {
            return;
        }
        list.records.push_back(std::move(record));
    }
    SaveStore(list.session);
    Refill(list.view, list.records);
    list.window->ShowStates();
    SelectName(list.view, list.records.back()->name);
}

// Edits the first record, in document order, with the selected name; on OK the store is
// saved and the record's entry selected.
template <class Record> void EditRecord(const RecordList<Record>& list) {
    std::string name;
    if (!SelectedName(list.view, name)) {
        ShowMessage(list.selectBeforeEdit);
        return;
    }
    Record* record = (list.doc.*list.find)(name);
    if (!record) {
        return;
    }
    bool accepted = false;
    {
        const auto held = list.session.HoldDocument(); // no save reads the records meanwhile
        accepted = list.edit(*record, list.doc, list.window);
    }
    list.session.Touched(record);
    if (accepted) {
        SaveStore(list.session);
        Refill(list.view, list.records);
        list.window->ShowStates();
        SelectName(list.view, record->name);
    }
}

// Deletes the first record with the selected name unless an activation uses it, and
// saves.
template <class Record> void DeleteRecord(const RecordList<Record>& list) {
    std::string name;
    if (!SelectedName(list.view, name)) {
        ShowMessage(list.selectBeforeDelete);
        return;
    }
    Record* record = (list.doc.*list.find)(name);
    if (!record) {
        return;
    }
    if (const CActivation* user = list.user ? (list.doc.*list.user)(record) : nullptr) {
        ShowMessage(list.inUse + user->name);
        return;
    }
    const int row = SelectedRow(list.view);
    list.session.Remove(record);
    SaveStore(list.session);
    Refill(list.view, list.records);
    list.window->ShowStates();
    SelectRow(list.view, row);
}

// Enter on a list's selected entry edits it; without a selection it goes on to the
// window's default button.
class EnterEdits : public QObject {
public:
    EnterEdits(QListWidget* list, std::function<void()> edit)
        : QObject(list), m_list(list), m_edit(std::move(edit)) {
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_list && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                !m_list->selectedItems().isEmpty()) {
                m_edit();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QListWidget* m_list;
    std::function<void()> m_edit;
};

// A double click on an entry, and Enter on it, is Edit.
template <class Record>
void ConnectCommands(const RecordList<Record>& list, QPushButton* newButton,
                     QPushButton* editButton, QPushButton* deleteButton) {
    QObject::connect(newButton, &QPushButton::clicked, list.window, [list] { NewRecord(list); });
    QObject::connect(editButton, &QPushButton::clicked, list.window, [list] { EditRecord(list); });
    QObject::connect(list.view, &QListWidget::itemDoubleClicked, list.window,
                     [list] { EditRecord(list); });
    new EnterEdits(list.view, [list] { EditRecord(list); });
    QObject::connect(deleteButton, &QPushButton::clicked, list.window,
                     [list] { DeleteRecord(list); });
}

} // namespace

CMainDialog::CMainDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::MainDialog>()),
      m_session(Platform().paths->DataDir() + "/Sentrel.bin"), m_doc(m_session.Doc()),
      m_engine(m_session.AttachEngine(m_host)),
      m_tray(std::make_unique<CTrayNotifyIcon>(ProgramIcon(), QStringLiteral("Sentrel"), this)) {
    m_ui->setupUi(this);
    // The list that has the keyboard focus says so with its frame.
    for (QListWidget* list : {m_ui->watchList, m_ui->activationList, m_ui->alertList}) {
        list->setStyleSheet(
            QStringLiteral("QListWidget:focus { border: 2px solid palette(highlight); }"));
    }
    // The status line keeps its room while it says nothing: showing it must not move the
    // buttons from under the user's pointer.
    QSizePolicy statusRoom = m_ui->statusLabel->sizePolicy();
    statusRoom.setRetainSizeWhenHidden(true);
    m_ui->statusLabel->setSizePolicy(statusRoom);
    m_host.onTimer = [this](int id) { m_engine.OnTimer(id); };
    m_engine.onProgress = [this] { OnEngineProgress(); };
    m_engine.onChecked = [this](const CActivation& activation, CheckOutcome before) {
        OnChecked(activation, before);
    };

    // An activation's context menu; Edit and Delete are its buttons'.
    m_activationMenu = new QMenu(this);
    m_activationMenu->setObjectName("activationMenu");
    QAction* checkNow = m_activationMenu->addAction(QStringLiteral("Check Now"));
    checkNow->setObjectName("checkNowAction");
    connect(checkNow, &QAction::triggered, this, &CMainDialog::OnCheckNow);
    QAction* edit = m_activationMenu->addAction(QStringLiteral("Edit"));
    edit->setObjectName("editActivationAction");
    connect(edit, &QAction::triggered, m_ui->editActivationButton, &QPushButton::click);
    QAction* remove = m_activationMenu->addAction(QStringLiteral("Delete"));
    remove->setObjectName("deleteActivationAction");
    connect(remove, &QAction::triggered, m_ui->deleteActivationButton, &QPushButton::click);
    connect(m_ui->activationList, &QListWidget::customContextMenuRequested, this,
            &CMainDialog::OnActivationMenu);

    ConnectCommands(WatchList(*m_ui, m_session, this), m_ui->newWatchButton, m_ui->editWatchButton,
                    m_ui->deleteWatchButton);
    ConnectCommands(ActivationList(*m_ui, m_session, this), m_ui->newActivationButton,
                    m_ui->editActivationButton, m_ui->deleteActivationButton);
    ConnectCommands(AlertList(*m_ui, m_session, this), m_ui->newAlertButton, m_ui->editAlertButton,
                    m_ui->deleteAlertButton);
    connect(m_ui->traceCheck, &QCheckBox::clicked, this, &CMainDialog::OnTrace);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CMainDialog::OnStart);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &CMainDialog::OnStop);
    connect(m_ui->aboutButton, &QPushButton::clicked, this, &CMainDialog::OnAbout);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CMainDialog::OnHelp);
    connect(m_ui->minimiseButton, &QPushButton::clicked, this, &CMainDialog::OnMinimise);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CMainDialog::OnExit);

    CTrayNotifyIcon* tray = m_tray.get();
    connect(tray, &CTrayNotifyIcon::openRequested, this, &CMainDialog::OnOpen);
    connect(tray, &CTrayNotifyIcon::startRequested, this, &CMainDialog::OnStart);
    connect(tray, &CTrayNotifyIcon::stopRequested, this, &CMainDialog::OnStop);
    connect(tray, &CTrayNotifyIcon::startAtLoginRequested, this, &CMainDialog::OnStartAtLogin);
    connect(tray, &CTrayNotifyIcon::exitRequested, this, &CMainDialog::OnExit);
    // The entry may be changed outside the program (the desktop's own settings).
    connect(tray, &CTrayNotifyIcon::menuAboutToShow, this, &CMainDialog::ShowStartAtLogin);
    connect(tray, &CTrayNotifyIcon::shownAfterWait, this, [this] { m_hiddenForTray = false; });
    connect(tray, &CTrayNotifyIcon::noArea, this, &CMainDialog::OnNoTray);
}

CMainDialog::~CMainDialog() {
    m_host.onTimer = nullptr;
    m_engine.onProgress = nullptr;
    m_engine.onChecked = nullptr;
    m_tray.reset();
}

bool CMainDialog::Initialise() {
    const std::string dataDir = Platform().paths->DataDir();
    if (dataDir.empty()) {
        ShowMessage(Platform().paths->DataDirProblem(), MessageIcon::Stop);
        return false;
    }
    CTraceFile::Instance().SetPath(dataDir + "/trace.txt");
    m_doc.SetStorePath(dataDir + "/Sentrel.bin");

    setWindowIcon(ProgramIcon());

    if (!m_session.Open(StorePolicy::Interactive)) {
        return false; // the load has said why; nothing may be saved over that store
    }
    Refill(m_ui->watchList, m_doc.watches);
    Refill(m_ui->activationList, m_doc.activations);
    Refill(m_ui->alertList, m_doc.alerts);

    m_ui->traceCheck->setChecked(m_doc.traceOn);

    // Without a notification area yet, the icon may still come; the window goes on either
    // way: it still needs its engine buttons and the trace the box shows.
    m_tray->Show(QStringLiteral("Manipulate alerts sent to your mobile"), QStringLiteral("Sentrel"),
                 kTrayWaitMs);
    ShowStartAtLogin();

    ShowEngineCommands(true, false);
    ShowStates();

    m_session.ApplyTraceSwitch(m_ui->traceCheck->isChecked());
    return true;
}

void CMainDialog::ShowAtStart(bool minimised) {
    m_hiddenForTray = minimised && (m_tray->IsShown() || m_tray->IsWaiting());
    if (!m_hiddenForTray) {
        show();
    }
}

void CMainDialog::OnStart() {
    m_engine.Start();
    ShowEngineCommands(false, true);
    ShowWaiting(); // a stop that was still waiting is over
}

void CMainDialog::OnStop() {
    m_engine.Stop();
    ShowEngineCommands(true, false);
    ShowWaiting();
}

void CMainDialog::ShowEngineCommands(bool canStart, bool canStop) {
    m_ui->startButton->setEnabled(canStart);
    m_ui->stopButton->setEnabled(canStop);
    m_tray->SetEngineCommands(canStart, canStop);
    ShowTrayStatus();
}

void CMainDialog::ShowStates() {
    std::unordered_map<const CObject*, std::vector<const CActivation*>> users;
    for (const auto& activation : m_doc.activations) {
        users[activation->GetWatch()].push_back(activation.get());
    }
    for (int row = 0; row < m_ui->watchList->count(); ++row) {
        QListWidgetItem* item = m_ui->watchList->item(row);
        ShowView(item, ViewOfWatch(users[RecordOf(item)], m_engine));
    }
    for (int row = 0; row < m_ui->activationList->count(); ++row) {
        QListWidgetItem* item = m_ui->activationList->item(row);
        ShowView(item, ViewOf(*static_cast<const CActivation*>(RecordOf(item)), m_engine));
    }
    ShowTrayStatus();
}

void CMainDialog::ShowTrayStatus() {
    const TraySummary summary = SummaryForTray(m_doc, m_engine);
    m_tray->SetStatus(summary.tooltip, summary.warning);
}

void CMainDialog::OnChecked(const CActivation& activation, CheckOutcome before) {
    for (int row = 0; row < m_ui->activationList->count(); ++row) {
        QListWidgetItem* item = m_ui->activationList->item(row);
        if (RecordOf(item) == &activation) {
            ShowView(item, ViewOf(activation, m_engine));
        }
    }
    const CWatch* watch = activation.GetWatch();
    for (int row = 0; row < m_ui->watchList->count(); ++row) {
        QListWidgetItem* item = m_ui->watchList->item(row);
        if (RecordOf(item) == watch) {
            ShowView(item, ViewOfWatch(UsersOf(m_doc, watch), m_engine));
        }
    }
    ShowTrayStatus();

    // Told once when it starts failing and once when it can look again.
    const ActivationRunState& state = m_engine.RunStateOf(activation);
    if (!activation.enabled || !watch ||
        (before == CheckOutcome::CannotCheck) == (state.outcome == CheckOutcome::CannotCheck)) {
        return;
    }
    const QString name = FromStored(watch->name);
    if (state.outcome == CheckOutcome::CannotCheck) {
        m_tray->Notify(QStringLiteral("Sentrel cannot check %1").arg(name),
                       FromStored(state.reason), true);
    } else {
        m_tray->Notify(QStringLiteral("Sentrel can check %1 again").arg(name), QString(), false);
    }
}

void CMainDialog::OnActivationMenu(const QPoint& where) {
    QListWidgetItem* item = m_ui->activationList->itemAt(where);
    if (!item) {
        return;
    }
    m_ui->activationList->setCurrentItem(item); // Edit and Delete act on the selection
    m_activationMenu->popup(m_ui->activationList->viewport()->mapToGlobal(where));
}

void CMainDialog::OnCheckNow() {
    std::string name;
    if (!SelectedName(m_ui->activationList, name)) {
        ShowMessage("Select an Activation before clicking Check Now");
        return;
    }
    const CActivation* activation = m_doc.FindActivation(name);
    if (!activation) {
        return;
    }
    m_engine.CheckNow(*activation, [](const CheckReport& report) {
        switch (report.outcome) {
        case CheckOutcome::Triggered:
            ShowMessage(report.message.empty() ? "triggered" : report.message,
                        MessageIcon::Information);
            break;
        case CheckOutcome::CannotCheck:
            ShowMessage(report.reason, MessageIcon::Warning);
            break;
        default:
            ShowMessage("not triggered", MessageIcon::Information);
            break;
        }
    });
}

void CMainDialog::OnTrace() {
    m_session.ApplyTraceSwitch(m_ui->traceCheck->isChecked());
}

void CMainDialog::OnAbout() {
    CAboutDialog about(QFile::decodeName(m_doc.StorePath().c_str()), this);
    about.setWindowModality(Qt::WindowModal);
    about.exec();
}

void CMainDialog::OnHelp() {
    const std::string page = HelpFile(ExecutableDir());
    if (!Platform().help->Open(page)) {
        ShowMessage("No web browser could be started to show the help. The help page is:\n" + page,
                    MessageIcon::Warning);
    }
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

// A check or send under way cannot be cut short: the exit waits for it, and the pass
// ends there (see the engine), then "Exited" and the save follow as always.
void CMainDialog::OnExit() {
    if (m_exitRequested) {
        return;
    }
    if (m_engine.IsBusy()) {
        m_exitRequested = true;
        m_engine.Halt();
        ShowEngineCommands(false, false);
        ShowWaiting();
        return;
    }
    m_session.Exit();
    done(1);
}

void CMainDialog::OnEngineProgress() {
    if (m_exitRequested && !m_engine.IsBusy()) {
        m_exitRequested = false;
        ShowWaiting();
        m_session.Exit();
        done(1);
        return;
    }
    ShowWaiting();
}

// Says what a Stop or an Exit waits for; nothing otherwise.
void CMainDialog::ShowWaiting() {
    const std::string step = m_engine.WaitingFor();
    QString text;
    if (m_exitRequested) {
        text = step.empty()
                   ? QStringLiteral("Exiting...")
                   : QStringLiteral("Exiting: waiting for %1 to finish...").arg(FromStored(step));
    } else if (!m_engine.IsRunning() && !step.empty()) {
        text = QStringLiteral("Stopping: waiting for %1 to finish...").arg(FromStored(step));
    }
    m_ui->statusLabel->setText(text);
    m_ui->statusLabel->setVisible(!text.isEmpty());
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
    m_tray->SetStartAtLogin(AutostartEnabled(AutostartFileHere()));
}

void CMainDialog::OnNoTray() {
    if (std::exchange(m_hiddenForTray, false)) {
        show(); // started minimised, but there is nowhere to be minimised to
    }
    ShowMessage("Failed to create tray icon", MessageIcon::Stop);
}

// With an icon in the notification area the window only goes there, as "Minimise" does:
// the watching goes on. Without one, closing would end it, so the user says so first.
void CMainDialog::reject() {
    if (m_tray->IsShown()) {
        OnMinimise();
        return;
    }
    QMessageBox question(QMessageBox::Question, QStringLiteral("Sentrel"),
                         QStringLiteral("Exit Sentrel? Watching stops until you start it again."),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName("exitQuestion");
    question.setDefaultButton(QMessageBox::No);
    question.setWindowModality(Qt::WindowModal);
    if (question.exec() == QMessageBox::Yes) {
        OnExit();
    }
}

} // namespace sentrel
