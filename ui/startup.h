#pragma once

#include <QString>
#include <memory>

class DeRaWizard;
class OperatorPrompt;
class TouchFilter;
struct Platform;

// The monitor as the entry function brings it up, once the application object exists.
struct Monitor {
    std::unique_ptr<DeRaWizard> window;
    std::unique_ptr<TouchFilter> touch;
};

// Diagnostic log, global state, text table, pictures, main window and touch
// handling, in that order. prompt answers start-up questions (null: the
// operator through the shared boxes).
Monitor bringUpMonitor(Platform& platform, const QString& workDir, const char* programName,
                       OperatorPrompt* prompt = nullptr);
