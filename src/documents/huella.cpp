#include "huella.h"

#include "motor.h"

#include <QCryptographicHash>

#include <charconv>
#include <cmath>

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

void SumarLineas(QCryptographicHash& huella, const QStringList& campos, const std::vector<std::vector<Valor>>& lineas)
{
    std::vector<bool> cuenta;
    for (const QString& c : campos)
        cuenta.push_back(c.compare(QLatin1String("Numero"), Qt::CaseInsensitive) != 0);
    // The same bytes as SumarFilas gives, gathered a row at a time and written without a
    // text per value: this runs under the write lock for every line of the document.
    QByteArray fila;
    fila.reserve(512);
    char cifras[32];
    auto entero = [&](qint64 n) {
        const auto fin = std::to_chars(cifras, cifras + sizeof cifras, n).ptr;
        fila.append(cifras, fin - cifras);
    };
    for (const std::vector<Valor>& linea : lineas) {
        fila.resize(0);
        for (size_t i = 0; i < linea.size() && i < cuenta.size(); ++i) {
            if (!cuenta[i])
                continue;
            const Valor& v = linea[i];
            fila.append(static_cast<char>('0' + static_cast<int>(v.tipo())));
            switch (v.tipo()) {
            case Valor::Tipo::Nulo: break;
            case Valor::Tipo::Entero: entero(v.aEntero()); break;
            case Valor::Tipo::Numero: {
                // A whole number of fewer than 16 digits prints with %g as the integer it is.
                const double d = v.aNumero();
                if (d == std::trunc(d) && std::fabs(d) < 1e15 && !(d == 0 && std::signbit(d)))
                    entero(static_cast<qint64>(d));
                else
                    fila.append(QByteArray::number(d, 'g', 15));
                break;
            }
            default: fila.append(v.aTexto().toUtf8()); break;
            }
            fila.append('\x1f');
        }
        fila.append('\x1e');
        huella.addData(fila);
    }
}

}  // namespace

QByteArray HuellaDocumento(motor::Recordset& cabecera, const QStringList& campos, const std::vector<std::vector<Valor>>& lineas)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    SumarFilas(huella, cabecera, true);
    huella.addData(QByteArrayView("\x1d", 1));
    SumarLineas(huella, campos, lineas);
    return huella.result();
}

QByteArray HuellaDocumento(const std::vector<Valor>& cabecera, const QStringList& campos, const std::vector<std::vector<Valor>>& lineas)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    for (const Valor& v : cabecera) {
        huella.addData(QByteArray::number(static_cast<int>(v.tipo())));
        huella.addData(v.esNulo() ? QByteArray() : v.aTexto().toUtf8());
        huella.addData(QByteArrayView("\x1f", 1));
    }
    huella.addData(QByteArrayView("\x1e\x1d", 2));
    SumarLineas(huella, campos, lineas);
    return huella.result();
}

QByteArray HuellaDocumento(motor::Recordset& cabecera, motor::Recordset& lineas)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    SumarFilas(huella, cabecera, true);
    huella.addData(QByteArrayView("\x1d", 1));
    SumarFilas(huella, lineas, false);
    return huella.result();
}
