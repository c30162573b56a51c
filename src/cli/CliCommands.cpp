#include "cli/CliCommands.h"

#include "cli/ItemJson.h"
#include "items/ItemOperations.h"
#include "rom/HexText.h"
#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <QCommandLineParser>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <map>
#include <optional>

namespace quillbox {

namespace {

const QString kProgram = QStringLiteral("quillbox-cli");

const char kUsage[] = R"(Usage: quillbox-cli [--profile FILE] COMMAND ARGUMENTS

Commands:
  info ROM                          header code, family, table offsets, item count
  list ROM                          one line per item: position<TAB>name
  moves ROM                         one line per move: number<TAB>name
  show ROM POSITION [--json]        every field of one item
  export ROM [--format json|csv] [-o FILE]
                                    every item, in position order
  icon ROM POSITION -o FILE.png [--scale N]
                                    the item's 24 by 24 icon as a PNG
  set ROM POSITION KEY=VALUE...     writes only the named fields, all or nothing
  sample-rom OUT [--game CODE]      writes a 16 MiB sample ROM (BPRE, BPGE, BPEE, AXVE, AXPE)

Keys for set: name, index, price, special1, special2, mystery1, mystery2, pocket,
  battleUsage, fieldUsageCodePointer, battleUsageCodePointer, description, tmMove,
  descriptionOffset (repoints the description), imageOffset, paletteOffset (repoint the icon).
Options may stand before or after the command.
)";

struct Failure {
    int status;
    QString message;
};

std::filesystem::path ToPath(const QString& text) { return std::filesystem::path(text.toStdU16String()); }
QString FromText(TextView text) { return QString::fromStdU32String(Text(text)); }
QString FromAscii(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }
QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

class Session {
public:
    Session(QTextStream& out, QTextStream& err, std::filesystem::path profile)
        : out_(out), err_(err), profile_(std::move(profile))
    {
    }

    int Fail(const QString& message, int status = kExitFailure)
    {
        err_ << kProgram << ": " << message << '\n';
        return status;
    }
    int Fail(const Error& error) { return Fail(FromUtf8(error.message)); }

    std::optional<OpenedRom> Open(const QString& rom)
    {
        auto opened = OpenRom(ToPath(rom), profile_);
        if (!opened) {
            Fail(opened.error());
            return std::nullopt;
        }
        return std::move(*opened);
    }

    QTextStream& out_;
    QTextStream& err_;
    std::filesystem::path profile_;
};

std::optional<int> ParsePosition(const QString& text, const OpenedRom& rom)
{
    bool ok = false;
    const int position = text.toInt(&ok, 10);
    if (!ok || position < 0 || position >= rom.family->itemCount) return std::nullopt;
    return position;
}

int Info(Session& session, const QStringList& args)
{
    if (args.size() != 1) return session.Fail(QStringLiteral("info takes one ROM"), kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const RomState& s = rom->state;
    QTextStream& out = session.out_;
    out << "headerCode: " << FromAscii(s.headerCode) << '\n';
    out << "gameCode: " << FromAscii(s.gameCode) << '\n';
    out << "family: " << FromAscii(rom->family->codes[0]);
    if (rom->family->codes[1] != rom->family->codes[0]) out << '/' << FromAscii(rom->family->codes[1]);
    out << '\n';
    out << "items: " << rom->family->itemCount << '\n';
    out << "images: " << (rom->family->hasImages ? "yes" : "no") << '\n';
    out << "ItemData: " << FromAscii(NumberToHex(static_cast<std::uint32_t>(s.itemTableOffset))) << '\n';
    out << "AttackNames: " << FromAscii(NumberToHex(static_cast<std::uint32_t>(s.moveNamesOffset))) << '\n';
    out << "TMData: " << FromAscii(NumberToHex(static_cast<std::uint32_t>(s.tmMovesOffset))) << '\n';
    out << "IMGData: "
        << (rom->family->hasImages ? FromAscii(NumberToHex(static_cast<std::uint32_t>(s.imageTableOffset))) : QStringLiteral("-"))
        << '\n';
    return kExitSuccess;
}

int List(Session& session, const QStringList& args, bool moves)
{
    if (args.size() != 1) return session.Fail(QStringLiteral("%1 takes one ROM").arg(moves ? u"moves" : u"list"), kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto& names = moves ? rom->moveNames : rom->itemNames;
    for (std::size_t i = 0; i < names.size(); ++i) {
        session.out_ << (moves ? i + 1 : i) << '\t' << FromText(names[i]) << '\n';
    }
    return kExitSuccess;
}

std::optional<QJsonObject> ItemJson(Session& session, const OpenedRom& rom, int position)
{
    auto item = ReadItem(rom.state, position);
    if (!item) {
        session.Fail(item.error());
        return std::nullopt;
    }
    return ItemToJson(rom, *item);
}

int Show(Session& session, const QStringList& args, bool json)
{
    if (args.size() != 2) return session.Fail(QStringLiteral("show takes a ROM and a position"), kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) {
        return session.Fail(QStringLiteral("no item at position \"%1\"; positions run from 0 to %2")
                                .arg(args[1])
                                .arg(rom->family->LastItemIndex()));
    }
    auto item = ItemJson(session, *rom, *position);
    if (!item) return kExitFailure;
    if (json) {
        session.out_ << QString::fromUtf8(QJsonDocument(*item).toJson(QJsonDocument::Indented));
        return kExitSuccess;
    }
    for (const QString& key : ItemKeys()) {
        const QJsonValue value = item->value(key);
        QString text = value.isNull() ? QStringLiteral("-") : CsvField(value);
        if (value.isString()) text = value.toString();
        session.out_ << key << ": " << text.replace(u'\n', QStringLiteral("\n    ")) << '\n';
    }
    return kExitSuccess;
}

int Export(Session& session, const QStringList& args, const QString& format, const QString& output)
{
    if (args.size() != 1) return session.Fail(QStringLiteral("export takes one ROM"), kExitUsage);
    if (format != u"json" && format != u"csv") {
        return session.Fail(QStringLiteral("--format takes json or csv, not \"%1\"").arg(format), kExitUsage);
    }
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    QJsonArray items;
    for (int position = 0; position < rom->family->itemCount; ++position) {
        auto item = ItemJson(session, *rom, position);
        if (!item) return kExitFailure;
        items.append(*item);
    }
    QByteArray data;
    if (format == u"json") {
        data = QJsonDocument(items).toJson(QJsonDocument::Indented);
    } else {
        QString csv = ItemKeys().join(u',') + u'\n';
        for (const QJsonValue& item : items) {
            QStringList fields;
            for (const QString& key : ItemKeys()) fields << CsvField(item.toObject().value(key));
            csv += fields.join(u',') + u'\n';
        }
        data = csv.toUtf8();
    }
    if (output.isEmpty()) {
        session.out_ << QString::fromUtf8(data);
        return kExitSuccess;
    }
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        return session.Fail(QStringLiteral("could not write %1: %2").arg(output, file.errorString()));
    }
    return kExitSuccess;
}

int Icon(Session& session, const QStringList& args, const QString& output, const QString& scaleText)
{
    if (args.size() != 2) return session.Fail(QStringLiteral("icon takes a ROM and a position"), kExitUsage);
    if (output.isEmpty()) return session.Fail(QStringLiteral("icon needs -o FILE.png"), kExitUsage);
    bool ok = true;
    const int scale = scaleText.isEmpty() ? 1 : scaleText.toInt(&ok);
    if (!ok || scale < 1 || scale > 64) {
        return session.Fail(QStringLiteral("--scale takes a whole number from 1 to 64"), kExitUsage);
    }
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(QStringLiteral("no item at position \"%1\"").arg(args[1]));
    auto offsets = ReadImageOffsets(rom->state, *position);
    if (!offsets) return session.Fail(offsets.error());
    auto icon = ReadItemIcon(rom->state, static_cast<std::int64_t>(HexToNumber(offsets->imageOffsetText)),
                             static_cast<std::int64_t>(HexToNumber(offsets->paletteOffsetText)));
    if (!icon) return session.Fail(icon.error());
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) image.setPixel(x, y, icon->At(x, y));
    }
    if (scale > 1) image = image.scaled(kIconSize * scale, kIconSize * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!image.save(output, "PNG")) return session.Fail(QStringLiteral("could not write %1").arg(output));
    return kExitSuccess;
}

// Parses one KEY=VALUE of `set` into the edit; returns a message when the value is refused.
std::optional<QString> ParseDecimal(const QString& key, const QString& value, unsigned limit, unsigned& result)
{
    bool ok = !value.isEmpty();
    for (QChar c : value) ok = ok && c >= u'0' && c <= u'9';
    const qulonglong number = ok ? value.toULongLong(&ok) : 0;
    if (!ok || number > limit) {
        return QStringLiteral("%1 takes a whole number from 0 to %2, not \"%3\"").arg(key).arg(limit).arg(value);
    }
    result = static_cast<unsigned>(number);
    return std::nullopt;
}

std::optional<QString> CheckHex(const QString& key, const QString& value, qsizetype digits)
{
    if (value.size() > digits || (!value.isEmpty() && !IsHexText(value.toStdU32String()))) {
        return QStringLiteral("%1 \"%2\" is not hexadecimal text of at most %3 digits").arg(key, value).arg(digits);
    }
    return std::nullopt;
}

int Set(Session& session, const QStringList& args)
{
    if (args.size() < 3) return session.Fail(QStringLiteral("set takes a ROM, a position and KEY=VALUE pairs"), kExitUsage);
    std::map<QString, QString> values;
    static const QStringList kKeys = [] {
        QStringList keys = ItemKeys();
        for (const char* derived : {"position", "pocketName", "tmMoveName", "descriptionRoom"}) {
            keys.removeAll(QString::fromLatin1(derived));
        }
        return keys;
    }();
    for (qsizetype i = 2; i < args.size(); ++i) {
        const qsizetype equals = args[i].indexOf(u'=');
        const QString key = equals < 0 ? args[i] : args[i].left(equals);
        if (equals < 0 || !kKeys.contains(key)) {
            return session.Fail(QStringLiteral("\"%1\" is not KEY=VALUE with a key of: %2").arg(args[i], kKeys.join(u", ")),
                                kExitUsage);
        }
        values[key] = args[i].mid(equals + 1);
    }

    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(QStringLiteral("no item at position \"%1\"").arg(args[1]));
    auto item = ReadItem(rom->state, *position);
    if (!item) return session.Fail(item.error());

    ItemEdit edit;
    std::optional<QString> refused;
    auto word = [&](const QString& key, std::optional<std::uint16_t>& field, unsigned limit) {
        if (refused || !values.contains(key)) return;
        unsigned number = 0;
        refused = ParseDecimal(key, values[key], limit, number);
        if (!refused) field = static_cast<std::uint16_t>(number);
    };
    auto byte = [&](const QString& key, std::optional<std::uint8_t>& field, std::size_t entries) {
        if (refused || !values.contains(key)) return;
        unsigned number = 0;
        refused = ParseDecimal(key, values[key], static_cast<unsigned>(entries - 1), number);
        if (!refused) field = static_cast<std::uint8_t>(number);
    };
    auto hex = [&](const QString& key, std::optional<std::string>& field, qsizetype digits) {
        if (refused || !values.contains(key)) return;
        refused = CheckHex(key, values[key], digits);
        if (!refused) field = values[key].toStdString();
    };
    if (values.contains(QStringLiteral("name"))) edit.name = values[QStringLiteral("name")].toStdU32String();
    if (values.contains(QStringLiteral("description"))) edit.description = values[QStringLiteral("description")].toStdU32String();
    word(QStringLiteral("index"), edit.index, 65535);
    word(QStringLiteral("price"), edit.price, 65535);
    word(QStringLiteral("tmMove"), edit.tmMove, kMoveCount);
    byte(QStringLiteral("special1"), edit.special1, 256);
    byte(QStringLiteral("special2"), edit.special2, 256);
    byte(QStringLiteral("mystery1"), edit.mystery1, rom->family->mystery1Entries.size());
    byte(QStringLiteral("mystery2"), edit.mystery2, rom->family->mystery2Entries.size());
    byte(QStringLiteral("pocket"), edit.pocket, rom->family->pocketNames.size());
    byte(QStringLiteral("battleUsage"), edit.battleUsage, rom->family->battleUsageEntries.size());
    hex(QStringLiteral("fieldUsageCodePointer"), edit.fieldUsageCodePointer, 6);
    hex(QStringLiteral("battleUsageCodePointer"), edit.battleUsageCodePointer, 6);
    std::optional<std::string> descriptionOffset, imageOffset, paletteOffset;
    hex(QStringLiteral("descriptionOffset"), descriptionOffset, 7);
    hex(QStringLiteral("imageOffset"), imageOffset, 6);
    hex(QStringLiteral("paletteOffset"), paletteOffset, 6);
    if (refused) return session.Fail(*refused);

    std::vector<Patch> patches;
    DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};
    if (descriptionOffset) {
        auto repoint = PlanDescriptionRepoint(rom->state, *position, *descriptionOffset);
        if (!repoint) return session.Fail(repoint.error());
        place = {repoint->repoint.offset, repoint->repoint.roomBytes};
        patches.push_back(std::move(repoint->pointer));
    }
    auto saved = PlanSave(rom->state, *position, edit, place);
    if (!saved) return session.Fail(saved.error());
    patches.insert(patches.end(), saved->begin(), saved->end());
    if (imageOffset || paletteOffset) {
        auto image = PlanImageRepoint(rom->state, *position, imageOffset.value_or(item->imageOffsetText.value_or("")),
                                      paletteOffset.value_or(item->paletteOffsetText.value_or("")));
        if (!image) return session.Fail(image.error());
        patches.insert(patches.end(), image->begin(), image->end());
    }
    if (auto written = ApplyToRom(rom->state, patches, {"Set", *position}); !written) return session.Fail(written.error());
    session.out_ << "Item Changed\n";
    return kExitSuccess;
}

int SampleRom(Session& session, const QStringList& args, const QString& game)
{
    if (args.size() != 1) return session.Fail(QStringLiteral("sample-rom takes one output file"), kExitUsage);
    const std::string code = game.isEmpty() ? std::string("BPRE") : game.toStdString();
    if (auto written = WriteSampleRom(ToPath(args[0]), code); !written) return session.Fail(written.error());
    return kExitSuccess;
}

}  // namespace

int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, const std::filesystem::path& programFolder)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption profileOption(QStringLiteral("profile"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"), QStringLiteral("json"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE"));
    const QCommandLineOption scaleOption(QStringLiteral("scale"), QString(), QStringLiteral("N"));
    const QCommandLineOption gameOption(QStringLiteral("game"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({profileOption, jsonOption, formatOption, outputOption, scaleOption, gameOption, helpOption});

    if (!parser.parse(QStringList{kProgram} + arguments)) {
        err << kProgram << ": " << parser.errorText() << '\n' << kUsage;
        return kExitUsage;
    }
    if (parser.isSet(helpOption)) {
        out << kUsage;
        return kExitSuccess;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        err << kUsage;
        return kExitUsage;
    }
    const QString command = positional.takeFirst();
    const auto profile = parser.isSet(profileOption) ? ToPath(parser.value(profileOption)) : ProfilePathFor(programFolder);
    Session session(out, err, profile);

    if (command == u"info") return Info(session, positional);
    if (command == u"list") return List(session, positional, false);
    if (command == u"moves") return List(session, positional, true);
    if (command == u"show") return Show(session, positional, parser.isSet(jsonOption));
    if (command == u"export") return Export(session, positional, parser.value(formatOption), parser.value(outputOption));
    if (command == u"icon") return Icon(session, positional, parser.value(outputOption), parser.value(scaleOption));
    if (command == u"set") return Set(session, positional);
    if (command == u"sample-rom") return SampleRom(session, positional, parser.value(gameOption));
    err << kProgram << ": unknown command \"" << command << "\"\n" << kUsage;
    return kExitUsage;
}

}  // namespace quillbox
