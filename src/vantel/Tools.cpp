#include "Tools.h"

#include <limits>

namespace Vantel::Tools {

std::int16_t Decrementar(std::int16_t &contador)
{
    if (contador > std::numeric_limits<std::int16_t>::min())
        --contador;
    return contador;
}

std::int16_t Incrementar(std::int16_t &contador)
{
    if (contador < std::numeric_limits<std::int16_t>::max())
        ++contador;
    return contador;
}

QString Reemplazar(QString texto, const QString &buscar, const QString &poner)
{
    if (buscar.isEmpty())
        return texto;
    if (poner.contains(buscar))
        return texto.replace(buscar, poner);
    // A replacement can join its neighbours into a new match, hence the
    // rounds; the bound keeps a pathological pair from running forever.
    for (qsizetype vueltas = texto.size() + 1; vueltas > 0 && texto.contains(buscar); --vueltas)
        texto.replace(buscar, poner);
    return texto;
}

QString NumATexto(qint64 numero)
{
    return QString::number(numero);
}

QString SacarToken(QString &fuente, const QString &separador)
{
    const qsizetype donde = separador.isEmpty() ? -1 : fuente.indexOf(separador);
    if (donde < 0) {
        QString todo = fuente;
        fuente.clear();
        return todo;
    }
    QString token = fuente.left(donde);
    fuente.remove(0, donde + separador.size());
    return token;
}

void AnadirALista(QVariant &lista, const QVariant &valor)
{
    QVariantList elementos = lista.isValid() ? lista.toList() : QVariantList{};
    elementos.append(valor);
    lista = elementos;
}

} // namespace Vantel::Tools
