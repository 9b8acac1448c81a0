#pragma once

#include <QtGlobal>

// Package deposits of a document's lines in cents, added up in 64 bits so that no sum wraps:
// all of them (signo 0), the returned ones (signo < 0) or the delivered ones (signo > 0).
template <typename Lineas, typename Bultos>
qint64 SumaEnvases(const Lineas& lineas, Bultos bultos, int signo)
{
    qint64 centimos = 0;
    for (const auto& linea : lineas) {
        const qint64 producto = static_cast<qint64>(linea->EnvaseCentimos()) * bultos(*linea);
        if (signo == 0 || (signo < 0 && producto < 0) || (signo > 0 && producto > 0))
            centimos += producto;
    }
    return centimos;
}
