#include "ui/results/result_export_file.h"

#include <QSaveFile>

#include "ui/results/result_model.h"

namespace {

QString FailureMessage(const QString& fileName, const QString& reason) {
    return QObject::tr("Hubsift could not write the results to\n\n%1\n\n%2").arg(fileName, reason);
}

}  // namespace

std::optional<QString> ExportShownRows(const ResultModel& model, const QString& fileName, ExportFormat format) {
    // Until commit the rows go to a temporary file, which the destructor removes on any failure.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return FailureMessage(fileName, file.errorString());
    ResultExporter exporter(format, [&file](std::string_view bytes) {
        return file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
    });
    bool written = true;
    for (int row = 0; row < model.rowCount() && written; ++row) written = exporter.Add(model.Row(row));
    if (!exporter.Finish() || !file.commit()) return FailureMessage(fileName, file.errorString());
    return std::nullopt;
}
