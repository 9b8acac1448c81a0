#pragma once

#include <QImage>
#include <QString>

// The QR symbol (ISO/IEC 18004, error correction M) of `texto` in UTF-8, black on white with its
// quiet zone of four modules, each module `lado` pixels square. A null image when the text
// does not fit in a symbol.
QImage CodigoQR(const QString& texto, int lado = 8);
