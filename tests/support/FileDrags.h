#pragma once

// Files dragged from a file manager and let go over a window, as the desktop delivers them.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// What a file manager learns from a drag over `target` that it lets go there.
struct DragAnswers
{
    bool entered = false;
    Qt::DropAction onEnter = Qt::IgnoreAction;
    Qt::DropAction onMove = Qt::IgnoreAction;
    bool dropped = false;
    Qt::DropAction onDrop = Qt::IgnoreAction;
};

// Drags `data` over `target`, across it and lets it go there. Shift makes the proposal a move, as
// a file manager proposes for a drag within one disk.
inline DragAnswers drag(QWidget* target, const QMimeData& data,
                        Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
{
    DragAnswers answers;
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    answers.entered = enter.isAccepted();
    answers.onEnter = enter.dropAction();
    if (!answers.entered)
        return answers;
    QDragMoveEvent move(at + QPoint(1, 1), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    answers.onMove = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    answers.dropped = drop.isAccepted();
    answers.onDrop = drop.dropAction();
    return answers;
}

inline QMimeData* filesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data->setUrls(urls);
    return data;
}

// Drops the files on `target` as a file manager does, proposing a move, and deletes the
// originals as one does when the answer is a move; true when the target took the drop. Every
// answer must be a copy, whether the drop can be sent or not.
inline bool dropOn(QWidget* target, const QStringList& paths)
{
    const std::unique_ptr<QMimeData> data(filesData(paths));
    const DragAnswers answers = drag(target, *data);
    EXPECT_EQ(answers.onEnter, Qt::CopyAction);
    EXPECT_EQ(answers.onMove, Qt::CopyAction);
    EXPECT_EQ(answers.onDrop, Qt::CopyAction);
    if (answers.dropped && answers.onDrop == Qt::MoveAction) {
        for (const QString& p : paths)
            QFile::remove(p);
    }
    for (const QString& p : paths)
        EXPECT_TRUE(QFileInfo::exists(p)) << p.toStdString();
    return answers.entered && answers.dropped;
}
