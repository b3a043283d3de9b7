#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct SystemParams;

// How far the operator has unlocked the main window: 0 locked, 1 with the user
// password, 2 with the service password. The password box writes it; the
// auto-logout timer locks it again.
class AccessLevel {
public:
    int level() const { return m_level; }
    void set(int level) { m_level = level; }
    void lock() { m_level = 0; }

private:
    int m_level = 0;
};

// The fixed service password, used while password protection is off.
inline const QString kFixedServicePassword = QStringLiteral("5728");

// The 10-digit service code valid during the hour of t. It is formed from
// the date and hour "yyyyMMddhh": digit i becomes (digit + key digit + 3 i) mod 10
// with the key "5728" repeated, so it changes every hour and reads like noise.
QString serviceCode(const QDateTime& t);

// Which level an entered password grants (0 when it is wrong). The box form
// accepts the fixed service password while protection is off; the dialog form
// accepts only the time-dependent service code. The service password is tried
// before the user password.
enum class ServiceRule { FixedUnlessProtected, TimedCodeOnly };
int passwordLevel(const QString& entered, const SystemParams& params, const QDateTime& now,
                  ServiceRule rule);
