#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

// Sets an environment variable (nullptr: removes it) for one scope and puts
// back what was there before.
class TScopedEnv {
public:
    TScopedEnv(const char* Name, const char* Value) : FName(Name) {
        if (qEnvironmentVariableIsSet(Name))
            FOld = qgetenv(Name);
        if (Value != nullptr)
            qputenv(Name, Value);
        else
            qunsetenv(Name);
    }
    ~TScopedEnv() {
        if (FOld)
            qputenv(FName.constData(), *FOld);
        else
            qunsetenv(FName.constData());
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    QByteArray FName;
    std::optional<QByteArray> FOld;
};

// A fresh temporary folder as $XDG_CONFIG_HOME (and beneath it
// $XDG_STATE_HOME) for one scope, so that settings and capture journals never
// reach the user's; removed with its contents after.
class TTemporaryConfigHome {
public:
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    TScopedEnv FEnv{"XDG_CONFIG_HOME", QFile::encodeName(FDir.path()).constData()};
    TScopedEnv FStateEnv{"XDG_STATE_HOME", QFile::encodeName(FDir.path() + "/state").constData()};
};
