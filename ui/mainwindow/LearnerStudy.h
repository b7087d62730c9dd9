// What the main window keeps for the learner's study: the kana counts, the file they live
// in, and the voice that says a kana.
#pragma once

#include <QObject>

#include <memory>

#include "KanaCounts.h"
#include "KanaCountsFile.h"
#include "Speaker.h"

namespace moratutor::ui {

class LearnerStudy : public QObject {
public:
    explicit LearnerStudy(QObject* owner) : QObject(owner), Voice(moratutor::speech::MakeSpeaker()) {}

    std::unique_ptr<moratutor::speech::Speaker> Voice;
    moratutor::study::KanaCounts Counts;
    std::unique_ptr<moratutor::study::KanaCountsFile> File;  // made once the preferences' path is known
};

}  // namespace moratutor::ui
