#include "codigoqr.h"

#include <qrencode.h>

#include <memory>

QImage CodigoQR(const QString& texto, int lado)
{
    const QByteArray datos = texto.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> qr(QRcode_encodeString(datos.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1),
                                                             &QRcode_free);
    if (!qr || lado < 1)
        return {};
    constexpr int kMargen = 4;
    const int modulos = qr->width + 2 * kMargen;
    QImage imagen(modulos * lado, modulos * lado, QImage::Format_Grayscale8);
    imagen.fill(Qt::white);
    for (int y = 0; y < qr->width; ++y) {
        for (int x = 0; x < qr->width; ++x) {
            // The lowest bit of each byte says whether the module is dark.
            if ((qr->data[y * qr->width + x] & 1) == 0)
                continue;
            for (int dy = 0; dy < lado; ++dy) {
                uchar* fila = imagen.scanLine((y + kMargen) * lado + dy);
                std::fill_n(fila + (x + kMargen) * lado, lado, uchar(0));
            }
        }
    }
    return imagen;
}
