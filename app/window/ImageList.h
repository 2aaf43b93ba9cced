#pragma once

#include <QIcon>
#include <QList>
#include <QObject>

// A numbered set of 16 x 16 images shared by actions, buttons and the status
// bar.
class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(const QString& name, QList<QIcon> images, QObject* owner);

    int Count() const { return static_cast<int>(FImages.size()); }
    QIcon Image(int index) const;

private:
    QList<QIcon> FImages;
};

// The twelve action images 0..11: new, open, save, save as, print, cut, copy,
// paste, undo, clear, connect, disconnect. The desktop theme's icon is taken
// where there is one; the drawn image otherwise.
QList<QIcon> MakeActionImages();

// The three state icons: 0 disconnected, 1 connected, 2 waiting or searching.
QList<QIcon> MakeStatusImages();
