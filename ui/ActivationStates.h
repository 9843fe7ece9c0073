#pragma once

// What the engine knows of each activation, as the window and the tray icon show it: a
// state icon per line, the state in words (the tooltip, and the accessible description
// that screen readers speak), and the tray's summary.

#include "engine/Engine.h"

#include <QIcon>
#include <QString>

#include <vector>

namespace sentrel {

class CActivation;
class CSentrelDoc;

// The state a line shows; a later one is worse.
enum class ShownState { Disabled, Fine, NotChecked, Triggered, CannotCheck };

ShownState ShownStateOf(const CActivation& activation, const ActivationRunState& state);

// The icon of a state: the desktop's icon theme's where it has one, our own otherwise.
QIcon StateIcon(ShownState state);

// The icon with the warning mark in its lower right corner.
QIcon WithWarningMark(const QIcon& icon);

// A line's state, icon and words.
struct StateView {
    ShownState state = ShownState::Disabled;
    QString text;
};

// An activation: its last check with the outcome or the reason, its last trigger and when
// it is next due.
StateView ViewOf(const CActivation& activation, const CEngine& engine);

// A watch: the worst state of the activations that use it (`users`), and each of them on a
// line of its own. A watch that no activation uses is not watched: it shows as disabled.
StateView ViewOfWatch(const std::vector<const CActivation*>& users, const CEngine& engine);

// The tray's tooltip: what the engine does ("Sentrel: running, 5 activations", "Sentrel:
// stopped") and, while enabled activations cannot check, how many and the first of them
// ("1 cannot check: Watch site (the server answered with status 404)"), which also puts the
// warning mark on the icon.
struct TraySummary {
    QString tooltip;
    bool warning = false;
};
TraySummary SummaryForTray(const CSentrelDoc& doc, const CEngine& engine);

} // namespace sentrel
