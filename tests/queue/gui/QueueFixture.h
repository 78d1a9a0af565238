#pragma once

#include "config/Configuration.h"
#include "queue/QueueFile.h"
#include "queue/gui/QueueFeatures.h"
#include "support/ProfileSandbox.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QCoreApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The main view with its own features and the queue attached, as the program builds it, in a
// temporary home and work folder. The view's initial update runs in SetUp, after
// prepareWorkFolder, so a test can put a stored queue in place first.
class QueueFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        environment.set("HOME", QFile::encodeName(homeFolder()));
        ASSERT_TRUE(QDir().mkpath(homeFolder() + QStringLiteral("/Desktop")));
        config = LoadConfiguration(homeFolder());
        prepareWorkFolder();
        viewFeatures = std::make_unique<ViewFeatures>(view, prompt, config.workFolder);
        features = std::make_unique<QueueFeatures>(
            view, prompt, config.workFolder, viewFeatures->sessions(), viewFeatures->localPane());
        view.resize(1200, 800);
        view.show();
        view.initialUpdate(config);
        settle();
    }

    // The window closes before its features go, as in the program: a view hidden while being
    // destroyed would lay out its lists once more and ask the gone local pane for icons.
    void TearDown() override
    {
        view.hide();
        features.reset();
        viewFeatures.reset();
    }

    virtual void prepareWorkFolder() {}
    virtual QString homeFolder() const { return home.path(); }

    static void settle()
    {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    // Spins the event loop until the condition holds or about ten seconds pass.
    static bool waitFor(const std::function<bool()>& condition)
    {
        for (int i = 0; i < 200 && !condition(); ++i)
            QTest::qWait(50);
        return condition();
    }

    TransferQueue& queue() { return features->queue(); }

    int addRow(const QString& source, const QString& state, int folder = 0,
               const QString& action = QStringLiteral("Down"))
    {
        QueueEntry entry;
        entry.source = source;
        entry.target = QStringLiteral("/local") + source;
        entry.action = action;
        entry.state = state;
        entry.folder = folder;
        return queue().AddQueueRow(entry, QStringLiteral("box"));
    }

    QStringList column(TransferQueue::Column which)
    {
        QStringList texts;
        for (const TransferQueue::Row& row : queue().snapshot())
            texts << row.text(which);
        return texts;
    }
    QStringList states() { return column(TransferQueue::StateColumn); }
    QString statesText() { return states().join(u' '); }

    // One row for each state of the list, the states apart by spaces; a row's source is
    // "/" + its state.
    void addRows(const char* statesApart)
    {
        for (const QString& state : QString::fromUtf8(statesApart).split(u' '))
            addRow(u'/' + state, state);
    }

    // Each row as "source > target action folder-flag", to compare whole rows at once.
    QStringList rowsAsText()
    {
        QStringList texts;
        for (const TransferQueue::Row& row : queue().snapshot())
            texts << QStringLiteral("%1 > %2 %3 %4")
                         .arg(row.text(TransferQueue::SourceColumn),
                              row.text(TransferQueue::TargetColumn),
                              row.text(TransferQueue::ActionColumn))
                         .arg(row.folder);
        return texts;
    }

    void selectQueueRows(const QList<int>& rows)
    {
        settle();
        QItemSelectionModel* selection = view.queueList()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(view.queueList()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // Remote rows as a listing shows them: texts name, date, size, and the folder flag.
    void showRemoteRows(const QString& folder, const QVector<TextRowsModel::Row>& rows)
    {
        viewFeatures->sessions().remote().setCurrentFolder(folder);
        view.remoteFiles()->setRows(rows);
    }

    static void selectAll(CMyListCtrl* list)
    {
        list->selectionModel()->select(
            QItemSelection(list->model()->index(0, 0),
                           list->model()->index(list->model()->rowCount() - 1, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    // The queue file, once the saves asked for so far have run.
    QString storedFile() const
    {
        features->store().waitUntilStored();
        return QueueFile::pathIn(config.workPath);
    }

    // The queue as "WFL.dat" holds it once the saves asked for so far have run.
    QStringList storedSources() const
    {
        features->store().waitUntilStored();
        NamedMutex lock(QStringLiteral("mutex1"), config.workFolder);
        TransferQueue stored;
        QueueFile(config.workPath, lock).LoadQueue(stored, QString());
        QStringList sources;
        for (const TransferQueue::Row& row : stored.snapshot())
            sources << row.text(TransferQueue::SourceColumn);
        return sources;
    }

    bool dispatch(int command) { return view.commands().dispatch(command); }

    QTemporaryDir home;
    ScopedEnvironment environment;
    ProfileSandbox profile;
    Configuration config;
    CftpView view;
    ScriptedPrompt prompt;
    std::unique_ptr<ViewFeatures> viewFeatures;
    std::unique_ptr<QueueFeatures> features;
};

// Logged on to a real server: the commands that start rows, and the transfers themselves.
class ConnectedQueueFixture : public QueueFixture {
protected:
    void SetUp() override
    {
        QueueFixture::SetUp();
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        view.setHost(server.host());
        view.setPort(server.port());
        view.setUser(QStringLiteral("anonymous"));
        view.setPassword(QStringLiteral("guest"));
        viewFeatures->sessions().OnConnect();
        ASSERT_TRUE(waitFor([this] { return viewFeatures->sessions().isConnected(); }));
    }

    VsftpdServer server;
};
