#include "access.h"

#include "systemparams.h"

QString serviceCode(const QDateTime& t) {
    const QString stamp = t.toString(QStringLiteral("yyyyMMddhh"));
    QString code;
    for (int i = 0; i < stamp.size(); ++i) {
        const int digit = stamp[i].digitValue();
        const int key = kFixedServicePassword[i % kFixedServicePassword.size()].digitValue();
        code += QChar(u'0' + (digit + key + 3 * i) % 10);
    }
    return code;
}

int passwordLevel(const QString& entered, const SystemParams& params, const QDateTime& now,
                  ServiceRule rule) {
    const bool timed = rule == ServiceRule::TimedCodeOnly || params.is_psw_used != 0;
    const QString service = timed ? serviceCode(now) : kFixedServicePassword;
    if (entered == service)
        return 2;
    if (entered == QString::fromLatin1(params.password))
        return 1;
    return 0;
}
