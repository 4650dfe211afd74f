#include "client/table_place.h"

#include "platform/cp932.h"
#include "protocol/tables.h"

void TTablePlace::Connect(const TTableChoice& choice)
{
    choice_ = choice;
    connected_ = true;
    level_ = TLevel::Connecting;
}

void TTablePlace::ListArrived()
{
    if (level_ == TLevel::Connecting)
        level_ = TLevel::AwaitingSync;
}

bool TTablePlace::OtherCommandArrived()
{
    if (level_ != TLevel::AwaitingSync)
        return false;
    level_ = TLevel::Level1;
    return true;
}

bool TTablePlace::ChoiceIgnored() const
{
    return level_ == TLevel::Level1 && (choice_.Table || choice_.Key || choice_.Watch);
}

std::string TTablePlace::Announcement(const std::string& resumeToken, const std::optional<std::string>& nameKey) const
{
    Protocol::Tables::TAnnouncement announcement;
    announcement.Token = resumeToken;
    announcement.Table = choice_.Table;
    announcement.Key = choice_.Key;
    announcement.NameKey = nameKey;
    announcement.Watch = choice_.Watch;
    return Protocol::Tables::AnnouncementText(announcement);
}

QString TTablePlace::Title(const QString& programTitle) const
{
    if (!connected_ || level_ == TLevel::Level1)
        return programTitle;
    QString title = programTitle + QStringLiteral(" - ") + TableCaption(choice_.Table.value_or(AnsiString()));
    if (choice_.Watch)
        title += tr("（観戦）");
    return title;
}

QString TTablePlace::TableCaption(const AnsiString& name)
{
    return name.empty() ? tr("（メイン）") : Cp932::Decode(name);
}
