#pragma once

#include <QString>

// How the core asks the operator: a warning to acknowledge or a yes/no
// question, both modal. The screens implement it with the shared boxes.
class OperatorPrompt {
public:
    virtual ~OperatorPrompt() = default;
    virtual void warn(const QString& text) = 0;
    virtual bool ask(const QString& question) = 0;
};
