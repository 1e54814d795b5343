#include "tab_state_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

namespace quillet::TabStateFile {

namespace {

const QString kId = QStringLiteral("id");
const QString kTitle = QStringLiteral("title");
const QString kContent = QStringLiteral("content");
const QString kFilePath = QStringLiteral("filePath");
const QString kCreatedAt = QStringLiteral("createdAt");

bool isUuidText(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return pattern.match(text).hasMatch();
}

// The internet date-time form, without fractional seconds.
std::optional<QDateTime> parseDate(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

QString describeEntry(qsizetype index, const QString &problem)
{
    return QStringLiteral("tab %1: %2").arg(index).arg(problem);
}

} // namespace

QByteArray encode(const QList<Scratchpad::Snapshot> &snapshots)
{
    QJsonArray array;
    for (const Scratchpad::Snapshot &snapshot : snapshots) {
        QJsonObject object{
            {kId, snapshot.id.toString(QUuid::WithoutBraces).toUpper()},
            {kTitle, snapshot.title},
            {kContent, snapshot.content},
            {kCreatedAt, snapshot.createdAt.toUTC().toString(Qt::ISODate)},
        };
        if (snapshot.filePath)
            object.insert(kFilePath, snapshot.filePath->toString(QUrl::FullyEncoded));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<Scratchpad::Snapshot>> decode(const QByteArray &bytes, QString *error)
{
    auto fail = [&](const QString &description) -> std::optional<QList<Scratchpad::Snapshot>> {
        if (error)
            *error = description;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not valid JSON (%1 at byte %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset));
    if (!document.isArray())
        return fail(QStringLiteral("the top-level value is not an array"));

    const QJsonArray array = document.array();
    QList<Scratchpad::Snapshot> snapshots;
    snapshots.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue entry = array.at(index);
        if (!entry.isObject())
            return fail(describeEntry(index, QStringLiteral("not an object")));
        const QJsonObject object = entry.toObject();
        for (const QString &key : {kId, kTitle, kContent, kCreatedAt}) {
            if (!object.value(key).isString())
                return fail(describeEntry(
                    index, QStringLiteral("\"%1\" is missing or not a string").arg(key)));
        }
        Scratchpad::Snapshot snapshot;
        const QString idText = object.value(kId).toString();
        snapshot.id = QUuid::fromString(idText);
        if (!isUuidText(idText))
            return fail(describeEntry(index, QStringLiteral("\"id\" is not a UUID")));
        snapshot.title = object.value(kTitle).toString();
        snapshot.content = object.value(kContent).toString();

        const QJsonValue filePath = object.value(kFilePath);
        if (filePath.isString()) {
            const QUrl url(filePath.toString(), QUrl::StrictMode);
            if (filePath.toString().isEmpty() || !url.isValid())
                return fail(describeEntry(index, QStringLiteral("\"filePath\" is not a URL")));
            snapshot.filePath = url;
        } else if (!filePath.isUndefined() && !filePath.isNull()) {
            return fail(describeEntry(index, QStringLiteral("\"filePath\" is not a string")));
        }

        const std::optional<QDateTime> createdAt = parseDate(object.value(kCreatedAt).toString());
        if (!createdAt)
            return fail(describeEntry(
                index, QStringLiteral("\"createdAt\" is not an ISO 8601 date-time")));
        snapshot.createdAt = *createdAt;
        snapshots.append(snapshot);
    }
    return snapshots;
}

} // namespace quillet::TabStateFile
