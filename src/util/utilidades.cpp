#include "utilidades.h"

#include "dinero.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <limits>

void Reemplazar(const QString& buscar, const QString& poner, QString& texto)
{
    if (!buscar.isEmpty())
        texto.replace(buscar, poner);
}

QString EnteroATexto(qint16 valor) { return QString::number(valor); }
QString LargoATexto(qint32 valor) { return QString::number(valor); }

QString FechaASQL(const QDate& fecha)
{
    return QLatin1Char('\'') + fecha.toString(Qt::ISODate) + QLatin1Char('\'');
}

QString FechaASQL(const QDateTime& fecha)
{
    if (fecha.time() == QTime(0, 0))
        return FechaASQL(fecha.date());
    return QLatin1Char('\'') + fecha.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\'');
}

QString NumeroConCeros(qint64 numero, int ancho)
{
    if (numero < 0)
        return QLatin1Char('-') + QString::number(-numero).rightJustified(ancho - 1, QLatin1Char('0'));
    return QString::number(numero).rightJustified(ancho, QLatin1Char('0'));
}

qint16 CampoAEntero(const Valor& v) { return AEntero16(v.aNumero()); }
qint32 CampoALargo(const Valor& v) { return ALargo32(v.aNumero()); }
double CampoANumero(const Valor& v) { return v.aNumero(); }
QString CampoATexto(const Valor& v) { return v.aTexto(); }

bool TextoABooleano(const QString& texto)
{
    const QString t = texto.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("verdadero") || t == QLatin1String("sí")
        || t == QLatin1String("si") || t == QLatin1String("yes"))
        return true;
    bool ok = false;
    const double n = t.toDouble(&ok);
    return ok && n != 0;
}

QString BooleanoATexto(bool valor) { return valor ? QStringLiteral("True") : QStringLiteral("False"); }

void Incrementar(qint16& contador)
{
    if (contador < std::numeric_limits<qint16>::max())
        ++contador;
}

void Decrementar(qint16& contador)
{
    if (contador > std::numeric_limits<qint16>::min())
        --contador;
}

void AnadirALista(QString& lista, const QString& separador, const QString& elemento)
{
    if (elemento.isEmpty())
        return;
    if (!lista.isEmpty())
        lista += separador;
    lista += elemento;
}

QString ExtraerToken(QString& texto, const QString& separador)
{
    const qsizetype p = separador.isEmpty() ? -1 : texto.indexOf(separador);
    if (p < 0) {
        QString todo = texto;
        texto.clear();
        return todo;
    }
    QString parte = texto.left(p);
    texto.remove(0, p + separador.size());
    return parte;
}

QString UnirRuta(const QString& carpeta, const QString& archivo)
{
    if (carpeta.isEmpty())
        return archivo;
    return QDir(carpeta).filePath(archivo);
}

void FiltrarTecla(int& tecla, const QString& permitidos)
{
    if (tecla < 32 || tecla == 127)
        return;
    if (tecla >= '0' && tecla <= '9')
        return;
    if (tecla <= 0xFFFF && permitidos.contains(QChar(static_cast<char16_t>(tecla))))
        return;
    tecla = 0;
}

double Val(const QString& texto)
{
    qsizetype i = 0;
    const qsizetype n = texto.size();
    while (i < n && (texto[i] == QLatin1Char(' ') || texto[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype inicio = i;
    if (i < n && (texto[i] == QLatin1Char('-') || texto[i] == QLatin1Char('+')))
        ++i;
    bool digitos = false;
    while (i < n && texto[i].isDigit() && texto[i].unicode() < 128) {
        ++i;
        digitos = true;
    }
    if (i < n && texto[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && texto[i].isDigit() && texto[i].unicode() < 128) {
            ++i;
            digitos = true;
        }
    }
    if (!digitos)
        return 0;
    return texto.mid(inicio, i - inicio).toDouble();
}

template <typename T>
static T redondearSaturado(double valor)
{
    if (!std::isfinite(valor))
        return 0;
    const double r = std::nearbyint(valor);  // banker's rounding, as the old integer conversion
    if (r >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    if (r <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    return static_cast<T>(r);
}

qint16 AEntero16(double valor) { return redondearSaturado<qint16>(valor); }
qint32 ALargo32(double valor) { return redondearSaturado<qint32>(valor); }

double Redondear2(double valor)
{
    if (const std::optional<qint64> c = EurosACentimos(valor))
        return AEuros(*c);
    return std::floor(valor * 100 + 0.5) / 100;  // not finite, or beyond any amount
}

double ImporteLinea(qint32 precio, qint32 cantidad, qint16 cada)
{
    return AEuros(ImporteLineaCentimos(precio, cantidad, cada));
}

std::vector<FilaBase> AgruparPorClave(std::vector<FilaBase>& filas)
{
    for (size_t i = 0; i < filas.size(); ++i) {
        for (size_t j = i + 1; j < filas.size(); ++j) {
            if (filas[i].clave && filas[j].clave && *filas[i].clave == *filas[j].clave) {
                filas[i].importe += filas[j].importe;
                filas[j].clave.reset();
            }
        }
    }
    std::vector<FilaBase> resultado;
    for (const FilaBase& f : filas)
        if (f.clave)
            AnadirAVector(resultado, f);
    std::stable_sort(resultado.begin(), resultado.end(),
                     [](const FilaBase& a, const FilaBase& b) { return *a.clave < *b.clave; });
    return resultado;
}

std::optional<QString> NIFValido(const QString& texto)
{
    QString n = texto.toUpper();
    n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    if (n.size() != 9)
        return std::nullopt;
    auto digitos = [&](int desde, int hasta) {
        for (int i = desde; i < hasta; ++i)
            if (!n.at(i).isDigit() || n.at(i).unicode() > '9')
                return false;
        return true;
    };
    static const QString letras = QStringLiteral("TRWAGMYFPDXBNJZSQVHLCKE");
    const QChar primera = n.at(0), ultima = n.at(8);
    // People: eight digits (a NIE's X, Y, Z stand for 0, 1, 2; K, L, M carry seven) and a letter.
    if (digitos(0, 8) || (QStringLiteral("XYZKLM").contains(primera) && digitos(1, 8))) {
        QString numero = n.left(8);
        const int x = QStringLiteral("XYZ").indexOf(primera);
        if (x >= 0)
            numero[0] = QLatin1Char(static_cast<char>('0' + x));
        else if (!primera.isDigit())
            numero = n.mid(1, 7);
        return letras.at(static_cast<int>(numero.toLongLong() % 23)) == ultima ? std::optional<QString>(n) : std::nullopt;
    }
    // Companies: the kind's letter, seven digits and a control digit or letter.
    if (!QStringLiteral("ABCDEFGHJNPQRSUVW").contains(primera) || !digitos(1, 8))
        return std::nullopt;
    int suma = 0;
    for (int i = 1; i <= 7; ++i) {
        const int d = n.at(i).unicode() - '0';
        if (i % 2 == 0) {
            suma += d;
        } else {
            const int doble = 2 * d;
            suma += doble / 10 + doble % 10;
        }
    }
    const int control = (10 - suma % 10) % 10;
    const QChar comoDigito = QLatin1Char(static_cast<char>('0' + control));
    const QChar comoLetra = QStringLiteral("JABCDEFGHI").at(control);
    // Some kinds always end in a letter, others always in a digit, the rest in either.
    const bool letra = QStringLiteral("PQRSNW").contains(primera);
    const bool digito = QStringLiteral("ABEH").contains(primera);
    const bool bien = (ultima == comoLetra && !digito) || (ultima == comoDigito && !letra);
    return bien ? std::optional<QString>(n) : std::nullopt;
}
