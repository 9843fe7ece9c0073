#pragma once

#include "model/Object.h"

#include <string>
#include <vector>

namespace sentrel {

class CAlert;
class CWatch;

// Ties one watch to its alerts, with a schedule and a word filter. The watch and the
// alerts belong to the document; the activation only refers to them.
class CActivation : public CObject {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // The watch the engine uses: the first of the watch list, or null.
    CWatch* GetWatch() const { return watch.empty() ? nullptr : watch.front(); }

    // Fields in archive order.
    std::vector<CAlert*> alerts;
    std::vector<CWatch*> watch; // a one-element list in practice
    bool containsFilterOn = false;
    bool excludesFilterOn = false;
    std::string name;
    bool enabled = false;
    std::string containsWords;
    std::string excludesWords;
    std::string nextDate;
    std::string endTime;
    std::string interval;
    std::string startTime;
    std::string nextTime;
    bool windowOn = false;
};

} // namespace sentrel
