#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/exceptions.h"
#include "transport/default_connection_form.h"

TEST(DefaultConnectionForm, LayoutCaptionsAndTabOrder)
{
    TFormDefaultConnection form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("サーバ情報の入力"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("ホスト名"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("ポート"));
    EXPECT_EQ(form.Button1->text(), QStringLiteral("&OK"));
    EXPECT_EQ(form.Button2->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(form.EditHost->geometry(), QRect(64, 8, 121, 20));
    EXPECT_EQ(form.EditPort->geometry(), QRect(64, 40, 49, 20));
    EXPECT_EQ(form.Button1->geometry(), QRect(40, 72, 75, 25));
    EXPECT_EQ(form.Button2->geometry(), QRect(128, 72, 75, 25));
    EXPECT_EQ(form.EditPort->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.Button1->isDefault());
    EXPECT_EQ(form.EditHost->nextInFocusChain(), form.EditPort);
    EXPECT_EQ(form.EditPort->nextInFocusChain(), form.Button1);
    EXPECT_EQ(form.Button1->nextInFocusChain(), form.Button2);
}

TEST(DefaultConnectionForm, HostAndPortByNameAndByAccessor)
{
    TFormDefaultConnection form;
    form.setProperty("Host", QStringLiteral("game.example"));
    form.setProperty("Port", 16523);
    EXPECT_EQ(form.Host(), "game.example");
    EXPECT_EQ(form.EditPort->text(), QStringLiteral("16523"));
    EXPECT_EQ(form.Port(), 16523);
    EXPECT_FALSE(form.metaObject()->indexOfProperty("Address") >= 0) << "only Host and Port are offered";
    form.EditPort->setText(QStringLiteral("x1"));
    EXPECT_THROW(form.Port(), EConvertError);
}
