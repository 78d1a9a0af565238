#include "app/gui/WorkPathCommand.h"

#include "accounts/AccountFile.h"
#include "accounts/CertificateTrust.h"
#include "accounts/gui/CIDDlg.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CftpApp.h"
#include "app/gui/VisualStyle.h"
#include "platform/NamedMutex.h"
#include "support/ModalDialogs.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

template <class Widget> Widget* control(QWidget& window, int id)
{
    return window.findChild<Widget*>(QStringLiteral("ctl%1").arg(id));
}

class WorkPathCommandTest : public ::testing::Test {
protected:
    ~WorkPathCommandTest() override { VisualStyle::apply(VisualStyle::DefaultLook); }

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(chosen()));
    }

    QString documents() const { return root.filePath(QStringLiteral("Documents")); }
    QString oldPath() const { return documents() + QStringLiteral("/ftpwork/"); }
    QString chosen() const { return root.filePath(QStringLiteral("chosen")); }

    ProfileSandbox profile;
    TemporaryFolder root{QStringLiteral("workpathcmd")};
    ScriptedPrompt prompt;
};

TEST_F(WorkPathCommandTest, AsksWithQtsFolderChooserAndCancelChangesNothing)
{
    CftpView view;
    view.configuration() = LoadConfiguration(documents());
    NamedMutex lock(QStringLiteral("mutex1"), root.path());
    WorkPathCommand command(view, lock, prompt);
    QString title;
    bool foldersOnly = false;
    QString startFolder;
    OnNextModal<QFileDialog>([&](QFileDialog& chooser) {
        title = chooser.windowTitle();
        foldersOnly = chooser.fileMode() == QFileDialog::Directory &&
                      chooser.testOption(QFileDialog::ShowDirsOnly);
        startFolder = chooser.directory().absolutePath() + u'/';
        chooser.reject();
    });

    ASSERT_TRUE(view.commands().dispatch(CommandId::WorkPath));

    EXPECT_EQ(title, QStringLiteral("请选择文件夹"));
    EXPECT_TRUE(foldersOnly);
    EXPECT_EQ(startFolder, oldPath());
    EXPECT_EQ(view.configuration().workPath, oldPath());
    EXPECT_TRUE(prompt.texts().isEmpty());
}

// The saved accounts come along, and an account added afterwards goes to the new folder.
TEST_F(WorkPathCommandTest, AccountsFollowTheNewWorkPath)
{
    CftpApp app(prompt, documents());
    app.InitInstance();
    CftpView& view = *app.mainFrame()->view();
    EXPECT_TRUE(view.commands().isHandled(CommandId::WorkPath));
    ASSERT_EQ(AppendAccount(QStringLiteral("old.example"), 21, QStringLiteral("u"),
                            QStringLiteral("p"), AccountListPath(oldPath())),
              AccountWrite::Written);
    NamedMutex lock(QStringLiteral("mutex1"), root.path());
    WorkPathCommand command(view, lock, prompt,
                            [this](QWidget*, const QString&) { return chosen(); });

    ASSERT_TRUE(view.commands().dispatch(CommandId::WorkPath));
    ASSERT_EQ(view.configuration().workPath, chosen() + u'/');
    OnNextModal<CIDDlg>([](CIDDlg& dialog) {
        const std::pair<int, QString> fields[] = {{1003, QStringLiteral("new.example")},
                                                  {1007, QStringLiteral("2121")},
                                                  {1009, QStringLiteral("me")},
                                                  {1010, QStringLiteral("secret")}};
        for (const auto& [id, text] : fields)
            control<QLineEdit>(dialog, id)->setText(text);
        control<QPushButton>(dialog, 1)->click();
    });
    view.commands().dispatch(CommandId::AddAccount);

    QStringList servers;
    for (const AccountRecord& record : LoadAccountList(AccountListPath(chosen() + u'/')))
        servers << record.server;
    EXPECT_EQ(servers, (QStringList{QStringLiteral("old.example"), QStringLiteral("new.example")}));
    EXPECT_EQ(LoadAccountList(AccountListPath(oldPath())).size(), 1);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("添加新账号成功")});
}

// The trusted certificates come along, still private to the user, and the certificate
// decisions of later connections read them in the new folder.
TEST_F(WorkPathCommandTest, TrustedCertificatesFollowTheNewWorkPath)
{
    CftpApp app(prompt, documents());
    app.InitInstance();
    CftpView& view = *app.mainFrame()->view();
    const QString fingerprint = QStringList(32, QStringLiteral("5A")).join(u':');
    QFile old(CertificateTrust::pathIn(oldPath()));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("files.example\t21\t" + fingerprint.toLatin1() + '\n');
    old.close();
    ASSERT_TRUE(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    OnNextModal<QFileDialog>([this](QFileDialog& chooser) {
        chooser.setDirectory(chosen());
        chooser.selectFile(chosen());
        static_cast<QDialog&>(chooser).accept();
    });

    ASSERT_TRUE(view.commands().dispatch(CommandId::WorkPath));
    ASSERT_EQ(view.configuration().workPath, chosen() + u'/');
    const QString moved = CertificateTrust::pathIn(chosen() + u'/');
    EXPECT_EQ(QFile::permissions(moved), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadUser | QFileDevice::WriteUser);
    ASSERT_TRUE(old.remove());
    TlsCertificate certificate;
    certificate.sha256Fingerprint = fingerprint;
    EXPECT_TRUE(app.features()->sessions().certificateTrust().acceptCertificate(
        QStringLiteral("files.example"), 21, certificate));
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.texts().join(u'|').toStdString();
}

} // namespace
