#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QUuid>

// One entry of the workspace tree: a file, or a folder with its entries in
// display order. A plain value; a new id is given every time the tree is built
// so that views can tell two builds apart.
struct FileNode
{
    QUuid id;
    QString name; // the last component of `path`
    QString path; // absolute local path
    bool isDirectory = false;
    QList<FileNode> children; // folders only; always empty for files

    QUrl url() const { return QUrl::fromLocalFile(path); }
    // No operator==: Qt's meta-type traits cannot look through a type that
    // holds a list of itself, and two builds never compare equal anyway
    // (their ids differ).
};

using FileNodeList = QList<FileNode>;

Q_DECLARE_METATYPE(FileNode)
