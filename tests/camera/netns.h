#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

// Network namespaces made for one test and removed again when it ends, also
// when it fails. Code runs inside them on threads that joined a namespace.
class NetnsGuard {
public:
    NetnsGuard();
    ~NetnsGuard();
    NetnsGuard(const NetnsGuard&) = delete;
    NetnsGuard& operator=(const NetnsGuard&) = delete;

    // Empty when namespaces can be used here; else why not.
    static QString unavailableReason();

    // Creates a namespace with its loopback up; returns its full name.
    std::string add(const std::string& shortName);
    // Runs "ip <args>"; true on success.
    bool ip(const QString& args);
    // Runs fn on a thread inside the namespace and waits for it.
    static bool runIn(const std::string& ns, const std::function<void()>& fn);

private:
    QStringList m_names;
};
