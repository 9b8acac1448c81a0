#include "huella.h"

#include "motor.h"

#include <QCryptographicHash>

namespace {

void SumarFilas(QCryptographicHash& huella, motor::Recordset& rs, bool conNumero)
{
    rs.moveFirst();
    for (; !rs.eof(); rs.moveNext()) {
        for (int i = 0; i < rs.numCampos(); ++i) {
            if (!conNumero && rs.nombreCampo(i).compare(QLatin1String("Numero"), Qt::CaseInsensitive) == 0)
                continue;
            const Valor v = rs.campo(i);
            huella.addData(QByteArray::number(static_cast<int>(v.tipo())));
            huella.addData(v.esNulo() ? QByteArray() : v.aTexto().toUtf8());
            huella.addData(QByteArrayView("\x1f", 1));
        }
        huella.addData(QByteArrayView("\x1e", 1));
    }
    rs.moveFirst();
}

}  // namespace

QByteArray HuellaDocumento(motor::Recordset& cabecera, motor::Recordset& lineas)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    SumarFilas(huella, cabecera, true);
    huella.addData(QByteArrayView("\x1d", 1));
    SumarFilas(huella, lineas, false);
    return huella.result();
}
