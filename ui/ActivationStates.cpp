#include "ui/ActivationStates.h"

#include "model/Activation.h"
#include "model/SentrelDoc.h"
#include "model/Watch.h"
#include "ui/TextCodec.h"

#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include <algorithm>
#include <array>

namespace sentrel {

namespace {

struct StateLook {
    const char* themeName; // from the desktop's icon naming
    const char* ownIcon;   // ours, under :/icons as -16.png and -32.png
};

const StateLook& LookOf(ShownState state) {
    static const std::array<StateLook, 5> looks{{
        {"media-playback-pause", "state-disabled"},
        {"emblem-default", "state-fine"},
        {"appointment-soon", "state-not-checked"},
        {"dialog-information", "state-triggered"},
        {"dialog-warning", "state-cannot-check"},
    }};
    return looks[static_cast<std::size_t>(state)];
}

QString When(const CDateTime& moment) {
    return FromStored(moment.FormatDate() + " " + moment.FormatTime());
}

// The outcome of the last check, in a few words.
QString OutcomeWords(const ActivationRunState& state) {
    switch (state.outcome) {
    case CheckOutcome::NotChecked:
        return QStringLiteral("not checked yet");
    case CheckOutcome::NotTriggered:
        return QStringLiteral("not triggered");
    case CheckOutcome::Triggered:
        return QStringLiteral("triggered");
    case CheckOutcome::CannotCheck:
        break;
    }
    QString words = QStringLiteral("cannot check: ") + FromStored(state.reason);
    if (state.failuresInRow > 1) {
        words += QStringLiteral(" (%1 checks in a row)").arg(state.failuresInRow);
    }
    return words;
}

QString NextDue(const CActivation& activation) {
    const CDateTime next = CDateTime::Parse(activation.nextDate + " " + activation.nextTime);
    return next.IsValid() ? When(next) : QStringLiteral("never (the next moment cannot be read)");
}

// A reason as it reads inside a sentence: "The server answered ..." becomes "the server
// answered ...", while "ICMP ..." stays as it is.
QString InSentence(QString reason) {
    if (reason.size() > 1 && reason[0].isUpper() && reason[1].isLower()) {
        reason[0] = reason[0].toLower();
    }
    return reason;
}

} // namespace

ShownState ShownStateOf(const CActivation& activation, const ActivationRunState& state) {
    if (!activation.enabled) {
        return ShownState::Disabled;
    }
    switch (state.outcome) {
    case CheckOutcome::NotChecked:
        return ShownState::NotChecked;
    case CheckOutcome::NotTriggered:
        return ShownState::Fine;
    case CheckOutcome::Triggered:
        return ShownState::Triggered;
    case CheckOutcome::CannotCheck:
        break;
    }
    return ShownState::CannotCheck;
}

QIcon StateIcon(ShownState state) {
    const StateLook& look = LookOf(state);
    QIcon own;
    for (const int size : {16, 32}) {
        own.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(look.ownIcon)).arg(size),
                    QSize(size, size));
    }
    return QIcon::fromTheme(QLatin1String(look.themeName), own);
}

QIcon WithWarningMark(const QIcon& icon) {
    const QIcon mark = StateIcon(ShownState::CannotCheck);
    QIcon marked;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap = icon.pixmap(size, size);
        const int markSize = std::max(9, size * 9 / 16);
        QPainter painter(&pixmap);
        painter.drawPixmap(size - markSize, size - markSize, mark.pixmap(markSize, markSize));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

StateView ViewOf(const CActivation& activation, const CEngine& engine) {
    const ActivationRunState& state = engine.RunStateOf(activation);
    QStringList lines;
    if (!activation.enabled) {
        lines << QStringLiteral("Disabled");
    }
    if (state.outcome == CheckOutcome::NotChecked) {
        if (activation.enabled) {
            lines << QStringLiteral("Not checked yet");
        }
    } else {
        lines
            << QStringLiteral("Last check: %1, %2").arg(When(state.lastCheck), OutcomeWords(state));
        lines << QStringLiteral("Last trigger: %1")
                     .arg(state.lastTrigger ? When(*state.lastTrigger)
                                            : QStringLiteral("none since Sentrel started"));
    }
    if (activation.enabled) {
        lines << QStringLiteral("Next due: %1").arg(NextDue(activation));
    }
    return {ShownStateOf(activation, state), lines.join(QLatin1Char('\n'))};
}

StateView ViewOfWatch(const std::vector<const CActivation*>& users, const CEngine& engine) {
    if (users.empty()) {
        return {ShownState::Disabled, QStringLiteral("Not used by any activation")};
    }
    StateView view;
    QStringList lines;
    for (const CActivation* activation : users) {
        const ActivationRunState& state = engine.RunStateOf(*activation);
        view.state = std::max(view.state, ShownStateOf(*activation, state));
        lines << QStringLiteral("%1: %2").arg(FromStored(activation->name),
                                              activation->enabled ? OutcomeWords(state)
                                                                  : QStringLiteral("disabled"));
    }
    view.text = lines.join(QLatin1Char('\n'));
    return view;
}

TraySummary SummaryForTray(const CSentrelDoc& doc, const CEngine& engine) {
    int enabled = 0;
    int failing = 0;
    const CActivation* first = nullptr;
    for (const auto& activation : doc.activations) {
        if (!activation->enabled) {
            continue;
        }
        ++enabled;
        if (engine.RunStateOf(*activation).outcome == CheckOutcome::CannotCheck) {
            ++failing;
            first = first ? first : activation.get();
        }
    }
    TraySummary summary;
    summary.tooltip = engine.IsRunning() ? QStringLiteral("Sentrel: running, %1 %2")
                                               .arg(enabled)
                                               .arg(enabled == 1 ? QStringLiteral("activation")
                                                                 : QStringLiteral("activations"))
                                         : QStringLiteral("Sentrel: stopped");
    if (first) {
        summary.warning = true;
        summary.tooltip += QStringLiteral("\n%1 cannot check: %2 (%3)")
                               .arg(failing)
                               .arg(FromStored(first->name),
                                    InSentence(FromStored(engine.RunStateOf(*first).reason)));
    }
    return summary;
}

} // namespace sentrel
