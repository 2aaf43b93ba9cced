#pragma once

#include <QObject>
#include <QStringList>

#include <stdexcept>

// Objects with properties of every kind the form walk handles; each counts
// the writes it receives.
class TCountingObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(QObject* First READ First WRITE SetFirst)
    Q_PROPERTY(QObject* Second READ Second WRITE SetSecond)
public:
    using QObject::QObject;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption) {
        FCaption = caption;
        ++Writes;
    }
    QStringList Lines() const { return FLines; }
    void SetLines(const QStringList& lines) {
        FLines = lines;
        ++Writes;
    }
    QObject* First() const { return FFirst; }
    void SetFirst(QObject* object) { FFirst = object; }
    QObject* Second() const { return FSecond; }
    void SetSecond(QObject* object) { FSecond = object; }

    int Writes = 0;

private:
    QString FCaption;
    QStringList FLines;
    QObject* FFirst = nullptr;
    QObject* FSecond = nullptr;
};

// A property whose setter fails.
class TStubborn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Stubborn READ Stubborn WRITE SetStubborn)
public:
    using QObject::QObject;
    QString Stubborn() const { return QStringLiteral("Datei"); }
    void SetStubborn(const QString&) { throw std::runtime_error("refused"); }
};
