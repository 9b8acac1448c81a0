#include "printxt.h"

#include "codigoqr.h"
#include "impresoraactual.h"
#include "oficina.h"
#include "plantilla.h"
#include "superficiepintor.h"

#include "formato.h"
#include "utilidades.h"

#include <QApplication>
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

AvisoImpresion& AvisoActual()
{
    static AvisoImpresion aviso;
    return aviso;
}

// Mask files are small; a file this large is not a mask and is not read whole.
// A mask is a few kilobytes of text (pictures are files of their own). Printing takes some 25
// times a mask's size in memory, so the bound keeps a stray big file to tens of megabytes.
constexpr qint64 kMaxMascara = 1024 * 1024;
// A print may break pages this many times, plus a few per print call (a page per line is the
// most any mask needs): beyond it a mask full of page breaks would print without end.
constexpr int kPaginasLibres = 20;
constexpr int kPaginasPorLlamada = 3;

enum class Familia { Ninguna, Hoja, Texto };

Familia FamiliaDe(const QString& nombre)
{
    const QString n = nombre.toUpper();
    if (n.size() < 3)
        return Familia::Ninguna;
    if (n.endsWith(QLatin1String("XLS")) || n.endsWith(QLatin1String("XLSX")) || n.endsWith(QLatin1String("ODS")))
        return Familia::Hoja;
    if (n.endsWith(QLatin1String("DOC")) || n.endsWith(QLatin1String("DOCX")) || n.endsWith(QLatin1String("ODT")))
        return Familia::Texto;
    return Familia::Ninguna;
}

bool EsComentario(const QString& linea)
{
    return linea.startsWith(QLatin1Char('\'')) || linea.startsWith(QLatin1Char(';'));
}

QStringList Lineas(const QString& texto)
{
    QStringList lineas = texto.split(QStringLiteral("\r\n"));
    if (!lineas.isEmpty() && lineas.last().isEmpty())
        lineas.removeLast();
    return lineas;
}

// A cell value as the spreadsheet took it when typed: a number, else a date, else text.
Valor ValorDeCelda(const QString& texto)
{
    if (const auto n = LeerNumero(texto.trimmed()))
        return *n;
    const QString t = texto.trimmed();
    for (const char* formato : {"d/M/yyyy", "d/M/yy", "yyyy-MM-dd", "d-M-yyyy"}) {
        QDate d = QDate::fromString(t, QLatin1String(formato));
        if (d.isValid()) {
            if (QLatin1String(formato) == QLatin1String("d/M/yy") && d.year() < 1930)
                d = d.addYears(100);
            return d;
        }
    }
    return texto;
}

} // namespace

AvisoImpresion FijarAvisoImpresion(AvisoImpresion aviso)
{
    AvisoImpresion anterior = std::move(AvisoActual());
    AvisoActual() = std::move(aviso);
    return anterior;
}

void Avisar(const QString& texto)
{
    if (AvisoActual()) {
        AvisoActual()(texto);
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::warning(QApplication::activeWindow(), QCoreApplication::applicationName(), texto);
    else
        qWarning("%s", qPrintable(texto));
}

PrinTxt::PrinTxt(QObject* parent)
    : QObject(parent),
      m_interprete([this] { return ObtenerSuperficie(); }, [this] { return SaltoImpresora(); }),
      m_oficina(std::make_unique<LibreOfficeHeadless>())
{
}

PrinTxt::PrinTxt(std::unique_ptr<SuperficieImpresion> superficie, QObject* parent) : PrinTxt(parent)
{
    m_superficie = std::move(superficie);
    m_superficiePropia = false;
}

PrinTxt::~PrinTxt() = default;

void PrinTxt::ImprimirEnArchivo(const QString& archivoPdf) { m_archivoPdf = archivoPdf; }

void PrinTxt::FijarImpresorOficina(std::unique_ptr<ImpresorOficina> impresor)
{
    m_oficina = std::move(impresor);
}

SuperficieImpresion* PrinTxt::ObtenerSuperficie()
{
    if (!m_superficie) {
        if (m_archivoPdf.isEmpty())
            m_superficie = SuperficiePintor::ParaImpresora(ImpresoraActual(), m_titulo);
        else
            m_superficie = SuperficiePintor::ParaPdf(m_archivoPdf, m_titulo);
    }
    return m_superficie.get();
}

QStringList PrinTxt::PartirTexto(qint16 seccion, const QString& marca, const QString& texto)
{
    // Cells of a template hold the whole text.
    if (m_modo != Modo::Impresora || seccion < 0 || seccion >= m_secciones.size() || marca.isEmpty())
        return {texto};
    for (const QString& linea : m_secciones[seccion].split(QLatin1Char('\n'))) {
        const QString l = linea.trimmed();
        const qsizetype cierre = l.indexOf(QLatin1Char(']'));
        if (!l.startsWith(QLatin1Char('[')) || cierre < 0 || !l.mid(cierre + 1).contains(marca))
            continue;
        return m_interprete.PartirTexto(l.mid(1, cierre - 1), l.mid(cierre + 1), marca, texto);
    }
    return {texto};
}

bool PrinTxt::CargaMascaras(const QString& archivo, const QString& prefijo)
{
    // A pipe would block the program and a device never end: only regular files are masks.
    if (!QFileInfo(archivo).isFile()) {
        if (QFileInfo::exists(archivo))
            Avisar(QStringLiteral("'%1' no es un archivo de máscara normal: no se imprime. Indique un archivo de texto.").arg(archivo));
        return false;
    }
    if (QFileInfo(archivo).size() > kMaxMascara) {
        Avisar(QStringLiteral("La máscara '%1' pasa de 1 MB: no se imprime. Revise el archivo.").arg(archivo));
        return false;
    }
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.read(kMaxMascara);
    f.close();

    TextoMascara mascara = PrepararMascara(DecodificarTexto8Bits(bytes), prefijo);
    m_hoja.reset();
    m_documento.reset();
    m_modo = Modo::Impresora;
    m_plantilla = mascara.plantilla;
    m_secciones = std::move(mascara.secciones);
    m_interprete.FijarCarpetaMascara(QFileInfo(archivo).absolutePath());
    ElegirModo(m_plantilla, QFileInfo(archivo).absolutePath());
    return true;
}

void PrinTxt::VolverAImpresora(const QString& aviso)
{
    m_hoja.reset();
    m_documento.reset();
    m_modo = Modo::Impresora;
    Avisar(aviso);
}

void PrinTxt::ElegirModo(const QString& especificacion, const QString& carpeta)
{
    const qsizetype dosPuntos = especificacion.indexOf(QLatin1Char(':'));
    const QString archivo = dosPuntos < 0 ? especificacion : especificacion.left(dosPuntos);
    const Familia familia = FamiliaDe(archivo);
    if (familia == Familia::Ninguna)
        return;

    // Templates sit beside the mask file (the program's folder, or the installed data folder).
    QString ruta;
    if (familia == Familia::Hoja) {
        m_nombreHoja = especificacion.mid(dosPuntos + 1);
        ruta = UnirRuta(carpeta, archivo);
    } else {
        ruta = UnirRuta(carpeta, especificacion);
    }

    if (!m_oficina || !m_oficina->Disponible()) {
        Avisar(QStringLiteral("No se encuentra LibreOffice, que hace falta para imprimir en la plantilla '%1'. "
                              "Se imprimirá en la impresora.").arg(archivo));
        return;
    }

    QString error;
    const QString sufijo = QFileInfo(ruta).suffix().toLower();
    if (sufijo == QLatin1String("xls") || sufijo == QLatin1String("doc")) {
        if (!QFileInfo::exists(ruta)) {
            Avisar(QStringLiteral("No se encuentra el archivo '%1'.").arg(ruta));
            return;
        }
        m_temporal = std::make_unique<QTemporaryDir>();
        ruta = m_oficina->Convertir(ruta, familia == Familia::Hoja ? QStringLiteral("ods") : QStringLiteral("odt"),
                                    m_temporal->path(), &error);
        if (ruta.isEmpty()) {
            Avisar(error);
            return;
        }
    }
    m_rutaPlantilla = ruta;
    m_modo = familia == Familia::Hoja ? Modo::HojaCalculo : Modo::Procesador;
    if (!AbrirPlantilla(&error))
        VolverAImpresora(error);
}

bool PrinTxt::AbrirPlantilla(QString* error)
{
    if (m_modo == Modo::HojaCalculo) {
        m_hoja = HojaPlantilla::Abrir(m_rutaPlantilla, error);
        if (!m_hoja)
            return false;
        if (!m_hoja->SeleccionarHoja(m_nombreHoja)) {
            m_hoja.reset();
            *error = QStringLiteral("Hoja '") + m_nombreHoja + QStringLiteral("' no encontrada.");
            return false;
        }
        return true;
    }
    m_documento = DocumentoPlantilla::Abrir(m_rutaPlantilla, error);
    return m_documento != nullptr;
}

void PrinTxt::Imprimir(qint16 seccion, int& pagina, const ValoresMascara& valores)
{
    if (seccion < 0 || seccion >= m_secciones.size() || m_cerrado || m_demasiadasPaginas)
        return;
    ++m_llamadas;
    const QString texto = SustituirMarcas(m_secciones[seccion], valores);

    switch (m_modo) {
    case Modo::Impresora: {
        bool cancelar = false;
        int* paginaAntes = std::exchange(m_pagina, &pagina);
        bool* cancelarAntes = std::exchange(m_cancelar, &cancelar);
        m_interprete.Ejecutar(texto);
        m_pagina = paginaAntes;
        m_cancelar = cancelarAntes;
        auto* pintor = m_superficiePropia ? dynamic_cast<SuperficiePintor*>(m_superficie.get()) : nullptr;
        if (pintor && !pintor->Valida() && !m_avisoImpresora) {
            m_avisoImpresora = true;
            Avisar(m_archivoPdf.isEmpty()
                       ? QStringLiteral("No se puede imprimir en la impresora '%1'.").arg(ImpresoraActual())
                       : QStringLiteral("No se puede escribir el archivo '%1'.").arg(m_archivoPdf));
        }
        break;
    }
    case Modo::HojaCalculo: RellenarHoja(texto, pagina); break;
    case Modo::Procesador: RellenarDocumento(texto, pagina); break;
    }
    Incrementar(m_contador);
}

bool PrinTxt::PaginaPermitida()
{
    if (m_demasiadasPaginas)
        return false;
    if (++m_paginasNuevas <= kPaginasLibres + kPaginasPorLlamada * m_llamadas)
        return true;
    m_demasiadasPaginas = true;
    Avisar(QStringLiteral("La máscara pide más de %1 páginas para %2 líneas impresas: se ha detenido la impresión. "
                          "Revise los saltos de página de la máscara.")
               .arg(m_paginasNuevas - 1)
               .arg(m_llamadas));
    return false;
}

bool PrinTxt::SaltoImpresora()
{
    if (!PaginaPermitida())
        return false;
    bool sinLlamada = false;
    bool& cancelar = m_cancelar ? *m_cancelar : sinLlamada;
    emit SaltoPagina(cancelar);
    if (cancelar)
        return false;
    ObtenerSuperficie()->NuevaPagina();
    if (m_pagina)
        ++*m_pagina;
    return true;
}

namespace {

// A template line's value "[QR,side]text": the QR symbol of the text as a PNG `lado` mm square.
// None when the value is not one; an empty picture when the text is empty (nothing to place).
struct CodigoEnPlantilla {
    QByteArray png;
    double lado = 0;
};
std::optional<CodigoEnPlantilla> LeerCodigoQR(const QString& valor)
{
    static const QRegularExpression qr(QStringLiteral("^\\s*\\[QR,\\s*(\\d+(?:[.,]\\d+)?)\\s*\\](.*)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = qr.match(valor);
    if (!m.hasMatch())
        return std::nullopt;
    CodigoEnPlantilla c;
    c.lado = QString(m.captured(1)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    const QString contenido = m.captured(2).trimmed();
    if (contenido.isEmpty() || c.lado <= 0)
        return c;
    const QImage imagen = CodigoQR(contenido);
    QBuffer buffer(&c.png);
    buffer.open(QIODevice::WriteOnly);
    if (imagen.isNull() || !imagen.save(&buffer, "PNG"))
        c.png.clear();
    return c;
}

}  // namespace

void PrinTxt::RellenarHoja(const QString& texto, int& pagina)
{
    if (!m_hoja)
        return;
    static const QRegularExpression conLimite(QStringLiteral("^([A-Z]{1,2})(\\d+):(\\d+)$"));
    bool llena = false;
    for (const QString& linea : Lineas(texto)) {
        if (linea.isEmpty() || EsComentario(linea))
            continue;
        const qsizetype igual = linea.indexOf(QLatin1Char('='));
        if (igual < 0)
            continue;
        QString celda = linea.left(igual).trimmed().toUpper();
        if (celda.contains(QLatin1Char(':'))) {
            const QRegularExpressionMatch m = conLimite.match(celda);
            if (!m.hasMatch())
                continue;
            const qint64 fila = m.captured(2).toLongLong() + m_contador;
            const qint64 limite = m.captured(3).toLongLong();
            if (fila > limite)
                continue;
            if (fila == limite)
                llena = true;
            celda = m.captured(1) + QString::number(fila);
        }
        if (const std::optional<CodigoEnPlantilla> qr = LeerCodigoQR(linea.mid(igual + 1))) {
            if (!qr->png.isEmpty())
                m_hoja->Imagen(celda, qr->png, qr->lado);
            continue;
        }
        m_hoja->Escribir(celda, ValorDeCelda(linea.mid(igual + 1)));
    }
    if (llena)
        SaltoPlantilla(pagina);
}

void PrinTxt::RellenarDocumento(const QString& texto, int& pagina)
{
    if (!m_documento)
        return;
    static const QRegularExpression celdaFC(QStringLiteral("^T(\\d+)F(\\d+)(?::(\\d+))?C(\\d+)$"));
    static const QRegularExpression celdaCF(QStringLiteral("^T(\\d+)C(\\d+)F(\\d+)(?::(\\d+))?$"));
    bool llena = false;
    for (const QString& linea : Lineas(texto)) {
        if (EsComentario(linea))
            continue;
        const qsizetype igual = linea.indexOf(QLatin1Char('='));
        if (igual < 0)
            continue;
        const QString clave = linea.left(igual).trimmed().toUpper();
        const QString valor = linea.mid(igual + 1);

        qint64 t = 0, f = 0, c = 0, limite = 0;
        if (const auto m = celdaFC.match(clave); m.hasMatch()) {
            t = m.captured(1).toLongLong();
            f = m.captured(2).toLongLong();
            limite = m.captured(3).toLongLong();
            c = m.captured(4).toLongLong();
        } else if (const auto m2 = celdaCF.match(clave); m2.hasMatch()) {
            t = m2.captured(1).toLongLong();
            c = m2.captured(2).toLongLong();
            f = m2.captured(3).toLongLong();
            limite = m2.captured(4).toLongLong();
        } else {
            m_documento->FijarVariable(clave, valor);
            continue;
        }
        if (t < 1 || t > m_documento->Tablas())
            continue;
        const int filas = m_documento->Filas(static_cast<int>(t));
        if (f < 1 || f > filas || c < 1 || c > m_documento->Columnas(static_cast<int>(t)) || limite > filas)
            continue;
        if (limite > 0) {
            f += m_contador;
            if (f > limite)
                continue;
            if (f == limite)
                llena = true;
        }
        if (const std::optional<CodigoEnPlantilla> qr = LeerCodigoQR(valor)) {
            if (!qr->png.isEmpty())
                m_documento->ImagenEnCelda(static_cast<int>(t), static_cast<int>(f), static_cast<int>(c), qr->png, qr->lado);
            continue;
        }
        m_documento->EscribirCelda(static_cast<int>(t), static_cast<int>(f), static_cast<int>(c), valor);
    }
    if (llena)
        SaltoPlantilla(pagina);
}

void PrinTxt::SaltoPlantilla(int& pagina)
{
    if (!PaginaPermitida())
        return;
    bool cancelar = false;
    emit SaltoPagina(cancelar);
    if (cancelar)
        return;
    ImprimirPlantilla();
    // The printed copy is dropped unsaved; the next page starts from the clean template.
    m_hoja.reset();
    m_documento.reset();
    QString error;
    if (!AbrirPlantilla(&error))
        Avisar(error);
    ++pagina;
}

void PrinTxt::ImprimirPlantilla()
{
    if (!m_temporal)
        m_temporal = std::make_unique<QTemporaryDir>();
    ++m_copiasImpresas;
    const QString copia = m_temporal->filePath(QStringLiteral("copia%1.%2")
                                                   .arg(m_copiasImpresas)
                                                   .arg(QFileInfo(m_rutaPlantilla).suffix().toLower()));
    const bool guardada = m_hoja ? m_hoja->Guardar(copia) : m_documento && m_documento->Guardar(copia);
    if (!guardada) {
        Avisar(QStringLiteral("No se puede escribir la copia de la plantilla en '%1'.").arg(copia));
        return;
    }
    QString pdf;
    if (!m_archivoPdf.isEmpty()) {
        pdf = m_archivoPdf;
        if (m_copiasImpresas > 1) {
            const QFileInfo info(m_archivoPdf);
            pdf = info.dir().filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(m_copiasImpresas).arg(info.suffix()));
        }
    }
    QString error;
    if (!m_oficina || !m_oficina->Imprimir(copia, ImpresoraActual(), pdf, &error))
        Avisar(QStringLiteral("No se ha podido imprimir la plantilla: %1").arg(error));
}

void PrinTxt::Cerrar()
{
    if (m_cerrado)
        return;
    switch (m_modo) {
    case Modo::Impresora:
        if (m_superficie)
            m_superficie->Terminar();
        break;
    case Modo::HojaCalculo:
    case Modo::Procesador:
        if (m_hoja || m_documento)
            ImprimirPlantilla();
        break;
    }
    m_cerrado = true;
}
