#pragma once

#include "support/ScriptedPrompt.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalFileCommands.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SharedListBehaviour.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// A shown main view whose local pane starts in a "Desktop" folder of a temporary tree, with
// the local pane, the shared list behaviour and the local commands attached.
class LocalPaneFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        desktop = temp.path() + QStringLiteral("/Desktop");
        ASSERT_TRUE(QDir().mkpath(desktop));
        view.resize(1000, 700);
        view.show();
        pane.fillLocalDrives(desktop);
        pane.enterDesktopFolder();
        settle();
    }

    static void settle()
    {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QString path(const QString& relative) const { return desktop + QLatin1Char('/') + relative; }

    void makeFolder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }

    void writeFile(const QString& relative, qint64 size = 1) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    }

    QStringList column(int index) const
    {
        QStringList texts;
        for (int row = 0; row < view.localFiles()->rowCount(); ++row)
            texts << view.localFiles()->rowAt(row).texts.value(index);
        return texts;
    }

    QStringList shownNames() const { return column(0); }

    int rowOf(const QString& name) const { return static_cast<int>(shownNames().indexOf(name)); }

    QModelIndex indexOf(const QString& name, int columnIndex = 0) const
    {
        return view.localFiles()->index(rowOf(name), columnIndex);
    }

    void selectNames(const QStringList& names) const
    {
        QItemSelectionModel* selection = view.localList()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names)
            selection->select(indexOf(name),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QPoint centreOf(const QString& name) const
    {
        return view.localList()->visualRect(indexOf(name)).center();
    }

    // As a user does it: a click, then the second press that makes it a double click.
    void doubleClick(const QString& name) const
    {
        QWidget* viewport = view.localList()->viewport();
        const QPoint at = centreOf(name);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    QStringList pathBoxItems() const
    {
        QStringList items;
        for (int index = 0; index < view.localPathBox()->count(); ++index)
            items << view.localPathBox()->itemText(index);
        return items;
    }

    QTemporaryDir temp;
    QString desktop;
    CftpView view;
    ScriptedPrompt prompt;
    SharedListBehaviour lists{view};
    LocalPaneController pane{view, prompt};
    LocalFileCommands commands{view, pane, prompt};
};
