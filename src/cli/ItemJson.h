#pragma once

#include "items/ItemOperations.h"

#include <QJsonObject>
#include <QStringList>

namespace quillbox {

// The keys of an item, in the order the JSON object and the CSV columns list them.
const QStringList& ItemKeys();

// An item as JSON, every text exactly as the window shows it.
QJsonObject ItemToJson(const OpenedRom& rom, const ItemView& item);

// One CSV field: quoted when it holds a comma, a quote or a line break.
QString CsvField(const QJsonValue& value);

}  // namespace quillbox
