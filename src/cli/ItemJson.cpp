#include "cli/ItemJson.h"

#include "text/GameText.h"

#include <QJsonValue>

namespace quillbox {

namespace {

QString ToQString(TextView text) { return QString::fromStdU32String(Text(text)); }
QString ToQString(std::string_view ascii) { return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size())); }

QJsonValue ListEntry(std::span<const std::string_view> entries, std::uint8_t value)
{
    if (value >= entries.size()) return QJsonValue::Null;
    return ToQString(entries[value]);
}

}  // namespace

const QStringList& ItemKeys()
{
    static const QStringList keys{
        QStringLiteral("position"),          QStringLiteral("name"),
        QStringLiteral("index"),             QStringLiteral("price"),
        QStringLiteral("special1"),          QStringLiteral("special2"),
        QStringLiteral("descriptionOffset"), QStringLiteral("description"),
        QStringLiteral("descriptionRoom"),   QStringLiteral("mystery1"),
        QStringLiteral("mystery2"),          QStringLiteral("pocket"),
        QStringLiteral("pocketName"),        QStringLiteral("fieldUsageCodePointer"),
        QStringLiteral("battleUsage"),       QStringLiteral("battleUsageCodePointer"),
        QStringLiteral("tmMove"),            QStringLiteral("tmMoveName"),
        QStringLiteral("imageOffset"),       QStringLiteral("paletteOffset")};
    return keys;
}

QJsonObject ItemToJson(const OpenedRom& rom, const ItemView& item)
{
    QJsonObject json;
    json[QStringLiteral("position")] = item.position;
    json[QStringLiteral("name")] = ToQString(item.name);
    json[QStringLiteral("index")] = item.index;
    json[QStringLiteral("price")] = item.price;
    json[QStringLiteral("special1")] = item.special1;
    json[QStringLiteral("special2")] = item.special2;
    json[QStringLiteral("descriptionOffset")] = ToQString(item.descriptionOffsetText);
    json[QStringLiteral("description")] = ToQString(ReplaceAll(item.description, kWindowsLineBreak, U"\n"));
    json[QStringLiteral("descriptionRoom")] = item.descriptionRoom;
    json[QStringLiteral("mystery1")] = item.mystery1;
    json[QStringLiteral("mystery2")] = item.mystery2;
    json[QStringLiteral("pocket")] = item.pocket;
    json[QStringLiteral("pocketName")] = ListEntry(rom.family->pocketNames, item.pocket);
    json[QStringLiteral("fieldUsageCodePointer")] = ToQString(item.fieldUsageCodePointer);
    json[QStringLiteral("battleUsage")] = item.battleUsage;
    json[QStringLiteral("battleUsageCodePointer")] = ToQString(item.battleUsageCodePointer);
    if (item.tmMove) {
        json[QStringLiteral("tmMove")] = *item.tmMove;
        const bool named = *item.tmMove >= 1 && *item.tmMove <= rom.moveNames.size();
        json[QStringLiteral("tmMoveName")] = named ? QJsonValue(ToQString(rom.moveNames[*item.tmMove - 1u])) : QJsonValue::Null;
    } else {
        json[QStringLiteral("tmMove")] = QJsonValue::Null;
        json[QStringLiteral("tmMoveName")] = QJsonValue::Null;
    }
    json[QStringLiteral("imageOffset")] = item.imageOffsetText ? QJsonValue(ToQString(*item.imageOffsetText)) : QJsonValue::Null;
    json[QStringLiteral("paletteOffset")] = item.paletteOffsetText ? QJsonValue(ToQString(*item.paletteOffsetText)) : QJsonValue::Null;
    return json;
}

QString CsvField(const QJsonValue& value)
{
    QString text;
    if (value.isDouble()) {
        text = QString::number(value.toInteger());
    } else if (value.isString()) {
        text = value.toString();
    }
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = u'"' + text + u'"';
    }
    return text;
}

}  // namespace quillbox
