#include "composicionlistado.h"

#include "formato.h"

#include <QDate>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// Page geometry, millimetres.
constexpr double kMargen = 10;
constexpr double kCuerpo = 29.5;     // first line of the body
constexpr double kPie = 16;          // room kept at the bottom for the page foot
constexpr double kSangria = 0.8;     // text inside its column

const QString kFuente = QStringLiteral("Arial");

// Width of a text in millimetres, measured finely enough to agree with any printer.
double AnchoMm(const QString& texto, double puntos, bool negrita)
{
    static QImage medida = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(23622);  // 600 dpi
        i.setDotsPerMeterY(23622);
        return i;
    }();
    QFont fuente(kFuente);
    fuente.setPointSizeF(puntos);
    fuente.setBold(negrita);
    return QFontMetricsF(fuente, &medida).horizontalAdvance(texto) * 25.4 / 600;
}

// The business name in `sitio` mm: one line at the largest size that fits (11 to 8 points), else
// two lines broken at a space (8 points down to 4). Each piece with its size; never cut.
std::vector<std::pair<QString, double>> AjustarNombre(const QString& nombre, double sitio)
{
    constexpr double holgura = 0.95;  // printers measure a little differently
    for (double puntos = 11; puntos >= 8; puntos -= 0.5)
        if (AnchoMm(nombre, puntos, true) <= sitio * holgura)
            return {{nombre, puntos}};
    // The break that leaves the longer line shortest.
    QString primera = nombre, segunda;
    double mejor = 1e9;
    for (qsizetype i = nombre.indexOf(QLatin1Char(' ')); i > 0; i = nombre.indexOf(QLatin1Char(' '), i + 1)) {
        const QString a = nombre.left(i).trimmed(), b = nombre.mid(i + 1).trimmed();
        const double largo = std::max(AnchoMm(a, 8, true), AnchoMm(b, 8, true));
        if (largo < mejor) {
            mejor = largo;
            primera = a;
            segunda = b;
        }
    }
    double puntos = 8;
    while (puntos > 4 && std::max(AnchoMm(primera, puntos, true), AnchoMm(segunda, puntos, true)) > sitio * holgura)
        puntos -= 0.5;
    if (segunda.isEmpty())
        return {{primera, puntos}};
    return {{primera, puntos}, {segunda, puntos}};
}

QString Fechas(const Valor& desde, const Valor& hasta)
{
    const bool hayDesde = desde.tipo() == Valor::Tipo::Fecha;
    const bool hayHasta = hasta.tipo() == Valor::Tipo::Fecha;
    if (!hayDesde && !hayHasta)
        return QStringLiteral("(todas)");
    if (hayDesde && hayHasta && desde.aFecha() == hasta.aFecha())
        return TextoListado(desde);
    QStringList partes;
    if (hayDesde)
        partes << QStringLiteral("desde ") + TextoListado(desde);
    if (hayHasta)
        partes << QStringLiteral("hasta ") + TextoListado(hasta);
    return partes.join(QLatin1Char(' '));
}

bool MismoValor(const Valor& v, const QString& texto)
{
    if (v.esNumerico()) {
        bool ok = false;
        const double d = texto.trimmed().toDouble(&ok);
        return ok && d == v.aNumero();
    }
    return TextoListado(v).compare(texto.trimmed(), Qt::CaseInsensitive) == 0;
}

// Splits at `|` outside braces and brackets.
QStringList Opciones(const QString& texto)
{
    QStringList partes;
    QString actual;
    int nivel = 0;
    for (const QChar c : texto) {
        if (c == QLatin1Char('{') || c == QLatin1Char('['))
            ++nivel;
        else if ((c == QLatin1Char('}') || c == QLatin1Char(']')) && nivel > 0)
            --nivel;
        if (c == QLatin1Char('|') && nivel == 0) {
            partes << actual;
            actual.clear();
        } else {
            actual += c;
        }
    }
    partes << actual;
    return partes;
}

// End of a bracketed part that starts at `inicio` (the opening character), or -1.
qsizetype Cierre(const QString& t, qsizetype inicio, QChar abre, QChar cierra)
{
    int nivel = 0;
    for (qsizetype i = inicio; i < t.size(); ++i) {
        if (t[i] == abre)
            ++nivel;
        else if (t[i] == cierra && --nivel == 0)
            return i;
    }
    return -1;
}

}  // namespace

qint64 UnidadesImpresas(double valor, int decimales)
{
    // Rounded by the same call that writes the figure (see Formato), not by a rule of our own.
    const qint64 unidades = QString::number(std::fabs(valor), 'f', decimales).remove(QLatin1Char('.')).toLongLong();
    return valor < 0 ? -unidades : unidades;
}

int DecimalesDeFormato(const QString& formato)
{
    if (formato.isEmpty())
        return 2;  // how a listing writes a fraction without a format
    const QString positivo = formato.section(QLatin1Char(';'), 0, 0);
    const qsizetype punto = positivo.indexOf(QLatin1Char('.'));
    if (punto < 0)
        return 0;
    int decimales = 0;
    for (qsizetype i = punto + 1; i < positivo.size() && (positivo[i] == QLatin1Char('0') || positivo[i] == QLatin1Char('#')); ++i)
        ++decimales;
    return decimales;
}

QString TextoListado(const Valor& valor, const QString& formato)
{
    if (valor.esNulo())
        return {};
    if (formato.compare(QLatin1String("mes"), Qt::CaseInsensitive) == 0) {
        const QDate d = valor.tipo() == Valor::Tipo::FechaHora ? valor.aFechaHora().date() : valor.aFecha();
        if (!d.isValid())
            return valor.aTexto();
        QString mes = QLocale(QLocale::Spanish, QLocale::Spain).standaloneMonthName(d.month());
        if (!mes.isEmpty())
            mes[0] = mes[0].toUpper();
        return mes + QStringLiteral(" de ") + QString::number(d.year());
    }
    if (!formato.isEmpty())
        return Formato(valor, formato);
    switch (valor.tipo()) {
    case Valor::Tipo::Fecha:
    case Valor::Tipo::FechaHora: return Formato(valor, QStringLiteral("dd/mm/yyyy"));
    case Valor::Tipo::Numero: return Formato(valor, QStringLiteral("##,##0.00;-##,##0.00;0.00"));
    case Valor::Tipo::Booleano: return valor.aBooleano() ? QStringLiteral("Sí") : QStringLiteral("No");
    default: return valor.aTexto();
    }
}

QString ExpandirPlantilla(const QString& plantilla, const std::function<std::optional<Valor>(const QString&)>& buscar,
                          QStringList* desconocidos)
{
    QString r;
    qsizetype i = 0;
    while (i < plantilla.size()) {
        const QChar c = plantilla[i];
        if (c != QLatin1Char('@')) {
            r += c;
            ++i;
            continue;
        }
        if (i + 1 < plantilla.size() && plantilla[i + 1] == QLatin1Char('@')) {
            r += QLatin1Char('@');
            i += 2;
            continue;
        }
        qsizetype fin = i + 1;
        while (fin < plantilla.size() && (plantilla[fin].isLetterOrNumber() || plantilla[fin] == QLatin1Char('_')))
            ++fin;
        const QString nombre = plantilla.mid(i + 1, fin - i - 1);
        if (nombre.isEmpty()) {
            r += c;
            ++i;
            continue;
        }
        const std::optional<Valor> valor = buscar(nombre);
        if (!valor && desconocidos && !desconocidos->contains(nombre))
            desconocidos->append(nombre);
        const Valor v = valor.value_or(Valor());
        if (fin < plantilla.size() && plantilla[fin] == QLatin1Char('{')) {
            const qsizetype cierre = Cierre(plantilla, fin, QLatin1Char('{'), QLatin1Char('}'));
            if (cierre > 0) {
                r += TextoListado(v, plantilla.mid(fin + 1, cierre - fin - 1));
                i = cierre + 1;
                continue;
            }
        } else if (fin < plantilla.size() && plantilla[fin] == QLatin1Char('[')) {
            const qsizetype cierre = Cierre(plantilla, fin, QLatin1Char('['), QLatin1Char(']'));
            if (cierre > 0) {
                QString elegido;
                bool hallado = false;
                for (const QString& opcion : Opciones(plantilla.mid(fin + 1, cierre - fin - 1))) {
                    const qsizetype igual = opcion.indexOf(QLatin1Char('='));
                    const QString clave = igual < 0 ? opcion : opcion.left(igual);
                    const QString texto = igual < 0 ? QString() : opcion.mid(igual + 1);
                    if (clave.trimmed() == QLatin1String("*") || MismoValor(v, clave)) {
                        elegido = texto;
                        hallado = true;
                        break;
                    }
                }
                if (hallado)
                    r += ExpandirPlantilla(elegido, buscar, desconocidos);
                // Without a match the choices still say which names they use.
                else if (desconocidos)
                    ExpandirPlantilla(plantilla.mid(fin + 1, cierre - fin - 1), buscar, desconocidos);
                i = cierre + 1;
                continue;
            }
        }
        r += TextoListado(v);
        i = fin;
    }
    return r;
}

bool ComposicionListado::Iniciar(const DefinicionListado& definicion, const QStringList& nombresColumnas,
                                 const ValoresNombrados& formulas, QString& error)
{
    m_def = definicion;
    m_nombres.clear();
    for (const QString& n : nombresColumnas)
        m_nombres << n.toLower();
    m_formulas = formulas;
    const QString donde = QStringLiteral("Listado «%1»").arg(QFileInfo(m_def.archivo).fileName());
    m_indices.clear();
    for (const ColumnaListado& c : m_def.columnas) {
        const int i = static_cast<int>(m_nombres.indexOf(c.campo.toLower()));
        if (i < 0) {
            error = donde + QStringLiteral(", línea %1: la consulta no da el campo «%2».").arg(c.linea).arg(c.campo);
            return false;
        }
        m_indices.push_back(i);
    }
    m_indiceGrupo = -1;
    if (!m_def.grupo.isEmpty()) {
        m_indiceGrupo = static_cast<int>(m_nombres.indexOf(m_def.grupo.toLower()));
        if (m_indiceGrupo < 0) {
            error = donde + QStringLiteral(", línea %1: la consulta no da el campo de grupo «%2».").arg(m_def.lineaGrupo).arg(m_def.grupo);
            return false;
        }
    }
    // Every name of every template must be known before the first page is drawn.
    const std::vector<Valor> vacia(static_cast<size_t>(m_nombres.size()));
    QStringList desconocidos;
    for (const QString* p : {&m_def.filtro, &m_def.cabeceraGrupo, &m_def.pieGrupo, &m_def.pieTotal, &m_def.vacio})
        ExpandirPlantilla(*p, [&](const QString& n) { return Buscar(n, p == &m_def.filtro || p == &m_def.pieTotal || p == &m_def.vacio ? nullptr : &vacia, 0); },
                          &desconocidos);
    if (!desconocidos.isEmpty()) {
        error = donde + QStringLiteral(": «@%1» no es un campo de la consulta, una fórmula dada ni un dato.").arg(desconocidos.first());
        return false;
    }
    m_cabecera = Expandir(m_def.filtro, nullptr, 0);
    m_hoy = Formato(Valor(QDate::currentDate()), QStringLiteral("dd/mm/yyyy"));

    m_lineas.clear();
    m_inicioPagina.clear();
    m_enGrupo = false;
    m_sumaGrupo.assign(m_def.columnas.size(), 0);
    m_sumaTotal.assign(m_def.columnas.size(), 0);
    m_decimales.clear();
    for (const ColumnaListado& c : m_def.columnas)
        m_decimales.push_back(DecimalesDeFormato(c.formato));
    m_cuentaGrupo = 0;
    m_filas = 0;
    m_terminada = false;
    return true;
}

std::optional<Valor> ComposicionListado::Buscar(const QString& nombre, const std::vector<Valor>* fila, int cuenta) const
{
    const QString n = nombre.toLower();
    if (n == QLatin1String("cuenta"))
        return Valor(static_cast<qint64>(cuenta));
    if (fila) {
        const qsizetype i = m_nombres.indexOf(n);
        if (i >= 0 && static_cast<size_t>(i) < fila->size())
            return (*fila)[static_cast<size_t>(i)];
    }
    const auto f = m_formulas.constFind(n);
    if (f != m_formulas.constEnd())
        return *f;
    if (n == QLatin1String("fechas"))
        return Valor(Fechas(m_formulas.value(QStringLiteral("fchdesde")), m_formulas.value(QStringLiteral("fchhasta"))));
    if (n == QLatin1String("hoy"))
        return Valor(QDate::currentDate());
    return std::nullopt;
}

QString ComposicionListado::Expandir(const QString& plantilla, const std::vector<Valor>* fila, int cuenta) const
{
    return ExpandirPlantilla(plantilla, [&](const QString& n) { return Buscar(n, fila, cuenta); });
}

QString ComposicionListado::ClaveGrupo(const std::vector<Valor>& fila) const
{
    const Valor& v = fila[static_cast<size_t>(m_indiceGrupo)];
    return m_def.formatoGrupo.isEmpty() ? TextoListado(v) + QLatin1Char('\x1f') + v.aTexto() : TextoListado(v, m_def.formatoGrupo);
}

QSizeF ComposicionListado::Papel() const { return m_def.horizontal ? QSizeF(297, 210) : QSizeF(210, 297); }

double ComposicionListado::Alto(LineaListado::Tipo tipo) const
{
    switch (tipo) {
    case LineaListado::Tipo::Detalle: return 4.2;
    case LineaListado::Tipo::CabeceraGrupo: return 7;
    case LineaListado::Tipo::PieGrupo: return 6.5;
    case LineaListado::Tipo::Total: return 9;
    case LineaListado::Tipo::Vacio: return 10;
    }
    return 5;
}

void ComposicionListado::Colocar(LineaListado linea, double altoReservado)
{
    const double alto = Alto(linea.tipo);
    const double fondo = Papel().height() - kPie;
    const int indice = static_cast<int>(m_lineas.size());
    if (m_inicioPagina.empty() || (m_y + alto + altoReservado > fondo && m_inicioPagina.back() < indice)) {
        m_inicioPagina.push_back(indice);
        m_y = kCuerpo;
    }
    m_lineas.push_back(std::move(linea));
    m_y += alto;
}

void ComposicionListado::AnadirFila(const std::vector<Valor>& fila)
{
    if (m_terminada || fila.size() < static_cast<size_t>(m_nombres.size()))
        return;
    if (m_indiceGrupo >= 0) {
        const QString clave = ClaveGrupo(fila);
        if (!m_enGrupo || clave != m_claveGrupo) {
            CerrarGrupo();
            m_enGrupo = true;
            m_claveGrupo = clave;
            m_primeraDelGrupo = fila;
            m_cuentaGrupo = 0;
            std::fill(m_sumaGrupo.begin(), m_sumaGrupo.end(), 0);
            LineaListado cabeza;
            cabeza.tipo = LineaListado::Tipo::CabeceraGrupo;
            cabeza.texto = Expandir(m_def.cabeceraGrupo, &fila, 0);
            // A group head never stays alone at the foot of a page.
            Colocar(std::move(cabeza), Alto(LineaListado::Tipo::Detalle));
        }
    }
    LineaListado l;
    l.tipo = LineaListado::Tipo::Detalle;
    l.valores.reserve(m_indices.size());
    for (size_t c = 0; c < m_indices.size(); ++c) {
        const Valor& v = fila[static_cast<size_t>(m_indices[c])];
        l.valores.push_back(v);
        if (m_def.columnas[c].suma) {
            // Sums add the figures as printed, so that a total is the sum of what is above it.
            const qint64 unidades = UnidadesImpresas(v.aNumero(), m_decimales[c]);
            m_sumaGrupo[c] += unidades;
            m_sumaTotal[c] += unidades;
        }
    }
    ++m_cuentaGrupo;
    ++m_filas;
    Colocar(std::move(l));
}

void ComposicionListado::CerrarGrupo()
{
    if (!m_enGrupo)
        return;
    LineaListado pie;
    pie.tipo = LineaListado::Tipo::PieGrupo;
    pie.texto = Expandir(m_def.pieGrupo, &m_primeraDelGrupo, m_cuentaGrupo);
    pie.cuenta = m_cuentaGrupo;
    for (size_t c = 0; c < m_def.columnas.size(); ++c) {
        if (m_def.columnas[c].suma)
            pie.valores.emplace_back(static_cast<double>(m_sumaGrupo[c]) / std::pow(10.0, m_decimales[c]));
        else
            pie.valores.emplace_back();
    }
    Colocar(std::move(pie));
    m_enGrupo = false;
}

void ComposicionListado::Terminar()
{
    if (m_terminada)
        return;
    CerrarGrupo();
    if (m_filas == 0) {
        LineaListado vacio;
        vacio.tipo = LineaListado::Tipo::Vacio;
        vacio.texto = m_def.vacio.isEmpty() ? QStringLiteral("No hay nada que listar con este filtro.") : Expandir(m_def.vacio, nullptr, 0);
        Colocar(std::move(vacio));
    } else {
        LineaListado total;
        total.tipo = LineaListado::Tipo::Total;
        total.texto = Expandir(m_def.pieTotal.isEmpty() ? QStringLiteral("Total general") : m_def.pieTotal, nullptr, m_filas);
        total.cuenta = m_filas;
        for (size_t c = 0; c < m_def.columnas.size(); ++c) {
            if (m_def.columnas[c].suma)
                total.valores.emplace_back(static_cast<double>(m_sumaTotal[c]) / std::pow(10.0, m_decimales[c]));
            else
                total.valores.emplace_back();
        }
        Colocar(std::move(total));
    }
    m_terminada = true;
}

int ComposicionListado::PaginasCompletas() const
{
    if (m_terminada)
        return Paginas();
    return std::max(0, Paginas() - 1);
}

std::pair<int, int> ComposicionListado::LineasDePagina(int pagina) const
{
    if (pagina < 1 || pagina > Paginas())
        return {0, 0};
    const int inicio = m_inicioPagina[static_cast<size_t>(pagina - 1)];
    const int fin = pagina < Paginas() ? m_inicioPagina[static_cast<size_t>(pagina)] : static_cast<int>(m_lineas.size());
    return {inicio, fin};
}

QStringList ComposicionListado::Celdas(const LineaListado& linea) const
{
    QStringList celdas;
    for (size_t c = 0; c < m_def.columnas.size() && c < linea.valores.size(); ++c)
        celdas << TextoListado(linea.valores[c], m_def.columnas[c].formato);
    return celdas;
}

std::vector<ElementoPagina> ComposicionListado::Elementos(int pagina) const
{
    std::vector<ElementoPagina> e;
    if (pagina < 1 || pagina > Paginas())
        return e;
    const QSizeF papel = Papel();
    const double ancho = papel.width() - 2 * kMargen;
    auto texto = [&e](QRectF caja, const QString& t, double puntos, bool negrita, Alineacion a) -> ElementoPagina* {
        if (t.isEmpty())
            return nullptr;
        e.push_back({ElementoPagina::Tipo::Texto, caja, t, puntos, negrita, a});
        return &e.back();
    };
    auto linea = [&e](double x1, double y, double x2) {
        e.push_back({ElementoPagina::Tipo::Linea, QRectF(QPointF(x1, y), QPointF(x2, y)), {}, 0, false, Alineacion::Izquierda});
    };

    // Page head: business, title, date; the filter; the column titles.
    // The business name takes the room left of the centred title, on two lines when it must.
    const double anchoTitulo = std::min(ancho / 2, AnchoMm(m_def.titulo, 12, true) + 2);
    const double sitioNombre = std::max(25.0, (ancho - anchoTitulo) / 2 - 2);
    const auto piezas = AjustarNombre(m_formulas.value(QStringLiteral("nombreempresa")).aTexto(), sitioNombre);
    for (size_t i = 0; i < piezas.size(); ++i) {
        const double alto = piezas.size() == 1 ? 6 : 3.2;
        if (ElementoPagina* p = texto(QRectF(kMargen, kMargen + alto * static_cast<double>(i), sitioNombre, alto), piezas[i].first,
                                      piezas[i].second, true, Alineacion::Izquierda))
            p->encoger = true;
    }
    texto(QRectF(kMargen + (ancho - anchoTitulo) / 2, kMargen, anchoTitulo, 6), m_def.titulo, 12, true, Alineacion::Centro);
    texto(QRectF(kMargen + ancho * 3 / 4, kMargen, ancho / 4, 6), m_hoy, 8, false, Alineacion::Derecha);
    texto(QRectF(kMargen, kMargen + 7, ancho, 4.5), m_cabecera, 8, false, Alineacion::Izquierda);
    std::vector<double> x{kMargen};
    for (const ColumnaListado& c : m_def.columnas)
        x.push_back(x.back() + c.ancho);
    for (size_t c = 0; c < m_def.columnas.size(); ++c)
        texto(QRectF(x[c] + kSangria, kMargen + 13, m_def.columnas[c].ancho - 2 * kSangria, 4.5), m_def.columnas[c].titulo, 8,
              true, m_def.columnas[c].alineacion);
    linea(kMargen, kMargen + 18, kMargen + ancho);

    // The first summed column: feet write their text left of it.
    double inicioSumas = kMargen + ancho;
    for (size_t c = 0; c < m_def.columnas.size(); ++c)
        if (m_def.columnas[c].suma) {
            inicioSumas = x[c];
            break;
        }

    const auto [desde, hasta] = LineasDePagina(pagina);
    double y = kCuerpo;
    for (int i = desde; i < hasta; ++i) {
        const LineaListado& l = m_lineas[static_cast<size_t>(i)];
        const double alto = Alto(l.tipo);
        switch (l.tipo) {
        case LineaListado::Tipo::Detalle: {
            const QStringList celdas = Celdas(l);
            for (qsizetype c = 0; c < celdas.size(); ++c)
                texto(QRectF(x[static_cast<size_t>(c)] + kSangria, y, m_def.columnas[static_cast<size_t>(c)].ancho - 2 * kSangria, alto),
                      celdas[c], 8, false, m_def.columnas[static_cast<size_t>(c)].alineacion);
            break;
        }
        case LineaListado::Tipo::CabeceraGrupo:
            texto(QRectF(kMargen, y + 2, ancho, alto - 2), l.texto, 9, true, Alineacion::Izquierda);
            break;
        case LineaListado::Tipo::PieGrupo:
        case LineaListado::Tipo::Total: {
            const bool total = l.tipo == LineaListado::Tipo::Total;
            if (total)
                linea(kMargen, y + 1, kMargen + ancho);
            linea(inicioSumas, y + (total ? 1.6 : 0.6), kMargen + ancho);
            const double arriba = y + (total ? 2.2 : 1.2);
            texto(QRectF(kMargen + kSangria, arriba, inicioSumas - kMargen - 2 * kSangria, 4.5), l.texto, total ? 9 : 8, true,
                  Alineacion::Izquierda);
            const QStringList celdas = Celdas(l);
            for (qsizetype c = 0; c < celdas.size(); ++c)
                texto(QRectF(x[static_cast<size_t>(c)] + kSangria, arriba, m_def.columnas[static_cast<size_t>(c)].ancho - 2 * kSangria, 4.5),
                      celdas[c], 8, true, m_def.columnas[static_cast<size_t>(c)].alineacion);
            break;
        }
        case LineaListado::Tipo::Vacio:
            texto(QRectF(kMargen, y + 3, ancho, alto - 3), l.texto, 10, false, Alineacion::Centro);
            break;
        }
        y += alto;
    }

    // Page foot.
    const double pie = papel.height() - kMargen - 4;
    linea(kMargen, pie - 1, kMargen + ancho);
    texto(QRectF(kMargen, pie, ancho / 2, 4), m_def.titulo, 7, false, Alineacion::Izquierda);
    const QString numero = m_terminada ? QStringLiteral("Página %1 de %2").arg(pagina).arg(Paginas())
                                       : QStringLiteral("Página %1").arg(pagina);
    texto(QRectF(kMargen + ancho / 2, pie, ancho / 2, 4), numero, 7, false, Alineacion::Derecha);
    return e;
}

void ComposicionListado::Dibujar(QPainter& pintor, int pagina, double pxPorMm) const
{
    pintor.save();
    QPen pluma(Qt::black);
    pluma.setWidthF(std::max(1.0, 0.2 * pxPorMm));
    pintor.setPen(pluma);
    for (const ElementoPagina& e : Elementos(pagina)) {
        const QRectF caja(e.caja.x() * pxPorMm, e.caja.y() * pxPorMm, e.caja.width() * pxPorMm, e.caja.height() * pxPorMm);
        if (e.tipo == ElementoPagina::Tipo::Linea) {
            pintor.drawLine(caja.topLeft(), caja.bottomRight());
            continue;
        }
        QFont fuente(kFuente);
        fuente.setPointSizeF(e.puntos);
        fuente.setBold(e.negrita);
        QString t = e.texto;
        if (e.encoger) {
            // Each device measures a little differently: the name shrinks to its box there.
            const double mide = QFontMetricsF(fuente, pintor.device()).horizontalAdvance(t);
            if (mide > caja.width())
                fuente.setPointSizeF(e.puntos * caja.width() / mide * 0.97);
        } else {
            t = QFontMetricsF(fuente, pintor.device()).elidedText(e.texto, Qt::ElideRight, caja.width());
        }
        pintor.setFont(fuente);
        Qt::Alignment a = Qt::AlignVCenter;
        a |= e.alineacion == Alineacion::Derecha ? Qt::AlignRight : e.alineacion == Alineacion::Centro ? Qt::AlignHCenter : Qt::AlignLeft;
        pintor.drawText(caja, static_cast<int>(a) | Qt::TextSingleLine, t);
    }
    pintor.restore();
}
