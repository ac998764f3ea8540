#pragma once
// logind's names on the system bus, for the power calls, the session's lookup and its lock.
#include <QString>

namespace tolvane::logind {

inline const QString kService = QStringLiteral("org.freedesktop.login1");
inline const QString kPath = QStringLiteral("/org/freedesktop/login1");
inline const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
inline const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
inline const QString kUser = QStringLiteral("org.freedesktop.login1.User");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace tolvane::logind
