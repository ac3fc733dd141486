#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// Fetches a URL over HTTPS with verified certificates, following redirects; only a
// status 200 counts. With a destination the body goes to a new temporary file beside it,
// renamed into place only when complete, and an empty array is returned. Plain http is
// accepted only when the caller (the tests, in-process) allows it; so is a file of
// certificates to trust instead of the system's.
std::optional<QByteArray> descargar(const QString& url, const QString& destino = QString(),
                                    bool permitirHttp = false, const QString& certificados = QString());
