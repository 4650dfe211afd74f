// Registered names and the server's pages in the window: the 名前・成績 menu
// that registers the player's name, shows its key or imports one, and opens
// the leaderboard and the player's page; the "/namekey" answer kept in the
// user's settings; a refusal of a registered name that offers the import;
// and the key on every join of that name at that server. Only a level-2
// server ever sees any of it.
#include <QAction>
#include <QPointer>
#include <QPushButton>
#include <utility>

#include "client/main_window.h"
#include "client/name_key_dialog.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/player_name.h"

using namespace Protocol;

namespace {

// The name without its padding, as the player typed it.
QString NameText(const AnsiString& paddedName)
{
    return Cp932::Decode(TrimmedName(paddedName));
}

}  // namespace

void TForm1::RenderNames()
{
    btnNames->setVisible(level2_ && connected_);
    actRegister->setEnabled(level2_ && connected_ && !TablePlace.Watching());
    actLeaderboard->setVisible(Site.Known());
    actOwnPage->setVisible(Site.Known());
}

std::optional<std::string> TForm1::KeptKey() const
{
    return NameKeys.Key(TNameKeys::ServerOf(server_, ServerPort), PlayerName);
}

void TForm1::actRegisterClick()
{
    if (!level2_ || !connected_ || TablePlace.Watching())
        return;
    registering_ = true;
    SendText(AnsiString(Command::Register) + " " + TrimmedName(PlayerName));
}

void TForm1::NameKeyCommand(std::string_view text)
{
    const std::optional<TNameKeyCommand> answer = ReadNameKeyCommand(text);
    // The server answers the name this connection plays under.
    if (!answer || PlayerNameKey(answer->Name) != PlayerNameKey(PlayerName)) {
        UnknownCommand();
        return;
    }
    registering_ = false;
    const bool kept = NameKeys.Keep(TNameKeys::ServerOf(server_, ServerPort), PlayerName, answer->Key);
    const QString sentence = !kept ? tr("名前「%1」を登録しましたが、鍵を設定に保存できませんでした。"
                                        "鍵をコピーして控えておいてください。")
                                         .arg(NameText(PlayerName))
                                   : tr("名前「%1」を登録しました。この名前で参加するたびに、この鍵が使われます。"
                                "別の端末で使うには、鍵をコピーしてその端末で取り込んでください。")
                                 .arg(NameText(PlayerName));
    NameKeyDialog->Open(sentence, server_, NameText(PlayerName), QString::fromStdString(answer->Key));
}

void TForm1::SiteCommand(std::string_view text)
{
    Site.Apply(text);
    RenderNames();
}

void TForm1::actNameKeyClick()
{
    joinAfterImport_ = false;
    NameKeyDialog->Open(tr("この鍵を別の端末で取り込むと、そこでもこの名前で参加できます。"), server_,
                        NameText(PlayerName), QString::fromStdString(KeptKey().value_or(std::string())));
}

void TForm1::OpenPage(const QUrl& url)
{
    if (!Site.Known() || OpenUrl(url))
        return;
    Application.MessageBox(tr("ブラウザーを開けませんでした：%1").arg(url.toString()), tr("成績"), MB_OK);
}

void TForm1::ClaimedRefusal(const QString& sentence)
{
    // Asked after the packet handler has returned, as every report is.
    Application.Post([window = QPointer<TForm1>(this), sentence] {
        if (window)
            window->OfferNameKeyImport(sentence);
    });
}

void TForm1::OfferNameKeyImport(const QString& sentence)
{
    const QString question =
        sentence + u'\n' + tr("別の端末でこの名前を登録したなら、そこで表示した鍵を取り込むと参加できます。"
                              "鍵を取り込みますか？");
    if (Application.MessageBox(question, tr("接続できません"), MB_OKCANCEL) != IDOK)
        return;
    joinAfterImport_ = true;
    NameKeyDialog->Open(tr("鍵を貼り付けて取り込むと、この名前でもう一度参加します。"), server_,
                        NameText(PlayerName), QString());
}

void TForm1::ImportNameKey(const QString& server, const QString& name, const QString& key)
{
    QString problem;
    const std::optional<TNameKeys::TImport> import = TNameKeys::ReadImport(server, ServerPort, name, key, problem);
    if (!import) {
        NameKeyDialog->ShowProblem(problem);
        return;
    }
    if (!NameKeys.Keep(import->Server, import->Name, import->Key)) {
        NameKeyDialog->ShowProblem(tr("鍵を設定に保存できませんでした"));
        return;
    }
    NameKeyDialog->hide();
    // Imported after a refusal: the join is tried again with the key.
    if (std::exchange(joinAfterImport_, false) && !btnDisconnect->isEnabled())
        btnConnectClick();
}
