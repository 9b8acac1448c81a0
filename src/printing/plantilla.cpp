#include "plantilla.h"

#include "xml.h"
#include "zip.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

const QString kRepFilas = QStringLiteral("table:number-rows-repeated");
const QString kRepColumnas = QStringLiteral("table:number-columns-repeated");
constexpr qint64 kMaxFila = 1048576;
constexpr qint64 kMaxColumna = 16384;

struct Direccion {
    qint64 columna = 0;  // from 1
    qint64 fila = 0;     // from 1
};

qint64 ColumnaDeLetras(const QString& letras)
{
    qint64 c = 0;
    for (const QChar ch : letras)
        c = c * 26 + (ch.unicode() - 'A' + 1);
    return c;
}

QString LetrasDeColumna(qint64 columna)
{
    QString r;
    while (columna > 0) {
        const qint64 resto = (columna - 1) % 26;
        r.prepend(QChar(char16_t('A' + resto)));
        columna = (columna - 1) / 26;
    }
    return r;
}

std::optional<Direccion> LeerDireccion(const QString& texto)
{
    static const QRegularExpression re(QStringLiteral("^\\$?([A-Za-z]{1,3})\\$?(\\d{1,7})$"));
    const auto m = re.match(texto.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const Direccion d{ColumnaDeLetras(m.captured(1).toUpper()), m.captured(2).toLongLong()};
    if (d.fila < 1 || d.fila > kMaxFila || d.columna < 1 || d.columna > kMaxColumna)
        return std::nullopt;
    return d;
}

// "$Hoja1.$B$3", "'Mi hoja'.B3:.C4", "Hoja1!$B$3": sheet name and first cell.
std::optional<std::pair<QString, Direccion>> LeerRango(const QString& texto, QChar separador)
{
    QString t = texto.trimmed();
    if (t.startsWith(QLatin1Char('$')))
        t.remove(0, 1);
    QString hoja;
    qsizetype p = 0;
    if (t.startsWith(QLatin1Char('\''))) {
        p = 1;
        while (p < t.size()) {
            if (t[p] == QLatin1Char('\'')) {
                if (p + 1 < t.size() && t[p + 1] == QLatin1Char('\'')) {
                    hoja += QLatin1Char('\'');
                    p += 2;
                    continue;
                }
                break;
            }
            hoja += t[p++];
        }
        ++p;
    } else {
        p = t.indexOf(separador);
        if (p < 0)
            return std::nullopt;
        hoja = t.left(p);
    }
    if (p >= t.size() || t[p] != separador)
        return std::nullopt;
    QString celda = t.mid(p + 1);
    celda = celda.section(QLatin1Char(':'), 0, 0);
    const auto d = LeerDireccion(celda);
    if (!d)
        return std::nullopt;
    return std::make_pair(hoja, *d);
}

qint64 Repeticiones(const NodoXml* n, const QString& atributo)
{
    const qint64 r = n->Atributo(atributo).toLongLong();
    return std::clamp<qint64>(r, 1, kMaxFila);
}

void FijarRepeticiones(NodoXml* n, const QString& atributo, qint64 veces)
{
    if (veces > 1)
        n->FijarAtributo(atributo, QString::number(veces));
    else
        n->QuitarAtributo(atributo);
}

// Makes the element at position `n` (from 1) of a run-length list stand on its own, splitting
// the repeated element that covers it. When the list is shorter, `crear` appends filler and
// the element to `contenedor`; otherwise null.
NodoXml* Separar(const std::vector<NodoXml*>& lista, const QString& atributo, qint64 n, NodoXml* contenedor,
                 const std::function<NodoXml*(NodoXml*, qint64)>& crear)
{
    qint64 inicio = 1;
    for (NodoXml* e : lista) {
        const qint64 veces = Repeticiones(e, atributo);
        if (n < inicio + veces) {
            const qint64 antes = n - inicio;
            const qint64 despues = inicio + veces - 1 - n;
            NodoXml* padre = e->padre;
            if (antes > 0) {
                auto copia = e->Copia();
                copia->padre = padre;
                FijarRepeticiones(copia.get(), atributo, antes);
                padre->hijos.insert(padre->hijos.begin() + e->Indice(), std::move(copia));
            }
            if (despues > 0) {
                auto copia = e->Copia();
                copia->padre = padre;
                FijarRepeticiones(copia.get(), atributo, despues);
                padre->hijos.insert(padre->hijos.begin() + e->Indice() + 1, std::move(copia));
            }
            FijarRepeticiones(e, atributo, 1);
            return e;
        }
        inicio += veces;
    }
    if (!crear)
        return nullptr;
    NodoXml* padre = lista.empty() ? contenedor : lista.back()->padre;
    if (n > inicio)
        FijarRepeticiones(crear(padre, n - inicio), atributo, n - inicio);
    return crear(padre, 1);
}

// Text into an OpenDocument paragraph, keeping runs of blanks and tabs as the format wants.
void TextoOdf(NodoXml* parrafo, const QString& texto)
{
    QString trozo;
    auto soltar = [&] {
        if (!trozo.isEmpty())
            parrafo->InsertarTexto(trozo);
        trozo.clear();
    };
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        if (c == QLatin1Char('\t')) {
            soltar();
            parrafo->InsertarElemento(QStringLiteral("text:tab"));
        } else if (c == QLatin1Char(' ') && (i == 0 || texto[i - 1] == QLatin1Char(' ') || i + 1 == texto.size())) {
            qsizetype j = i;
            while (j < texto.size() && texto[j] == QLatin1Char(' '))
                ++j;
            soltar();
            NodoXml* s = parrafo->InsertarElemento(QStringLiteral("text:s"));
            if (j - i > 1)
                s->FijarAtributo(QStringLiteral("text:c"), QString::number(j - i));
            i = j - 1;
        } else {
            trozo += c;
        }
    }
    soltar();
}

// Text of an OpenDocument paragraph with its blank and tab elements read back.
QString TextoDeParrafoOdf(const NodoXml* n)
{
    QString r;
    for (const auto& h : n->hijos) {
        if (h->tipo == NodoXml::Tipo::Texto)
            r += h->texto;
        else if (h->nombre == QLatin1String("text:s"))
            r += QString(std::clamp<qint64>(h->Atributo(QStringLiteral("text:c")).toLongLong(), 1, 1000), QLatin1Char(' '));
        else if (h->nombre == QLatin1String("text:tab"))
            r += QLatin1Char('\t');
        else if (h->tipo == NodoXml::Tipo::Elemento && h->nombre != QLatin1String("office:annotation"))
            r += TextoDeParrafoOdf(h.get());
    }
    return r;
}

QString TextoDeCeldaOdf(const NodoXml* celda)
{
    QStringList parrafos;
    for (const auto& h : celda->hijos)
        if (h->tipo == NodoXml::Tipo::Elemento && h->nombre.startsWith(QLatin1String("text:")))
            parrafos << TextoDeParrafoOdf(h.get());
    return parrafos.join(QLatin1Char('\n'));
}

QString NumeroPlano(double v) { return QString::number(v, 'g', 15); }

// Parts that hold the rows of an OpenDocument table, in order.
void FilasOdf(NodoXml* contenedor, std::vector<NodoXml*>& filas)
{
    for (const auto& h : contenedor->hijos) {
        if (h->tipo != NodoXml::Tipo::Elemento)
            continue;
        if (h->nombre == QLatin1String("table:table-row"))
            filas.push_back(h.get());
        else if (h->nombre == QLatin1String("table:table-header-rows") || h->nombre == QLatin1String("table:table-rows")
                 || h->nombre == QLatin1String("table:table-row-group"))
            FilasOdf(h.get(), filas);
    }
}

std::vector<NodoXml*> CeldasOdf(NodoXml* fila, bool conCubiertas)
{
    std::vector<NodoXml*> r;
    for (const auto& h : fila->hijos)
        if (h->tipo == NodoXml::Tipo::Elemento
            && (h->nombre == QLatin1String("table:table-cell")
                || (conCubiertas && h->nombre == QLatin1String("table:covered-table-cell"))))
            r.push_back(h.get());
    return r;
}

void ColumnasOdf(const NodoXml* contenedor, qint64& cuantas)
{
    for (const auto& h : contenedor->hijos) {
        if (h->tipo != NodoXml::Tipo::Elemento)
            continue;
        if (h->nombre == QLatin1String("table:table-column"))
            cuantas += Repeticiones(h.get(), kRepColumnas);
        else if (h->nombre.startsWith(QLatin1String("table:table-column")) || h->nombre == QLatin1String("table:table-header-columns"))
            ColumnasOdf(h.get(), cuantas);
    }
}

NodoXml* NuevaFilaOdf(NodoXml* padre, qint64)
{
    NodoXml* fila = padre->InsertarElemento(QStringLiteral("table:table-row"));
    fila->InsertarElemento(QStringLiteral("table:table-cell"));
    return fila;
}

NodoXml* NuevaCeldaOdf(NodoXml* padre, qint64) { return padre->InsertarElemento(QStringLiteral("table:table-cell")); }

void VaciarCeldaOdf(NodoXml* celda)
{
    for (const char* a : {"office:value-type", "office:value", "office:date-value", "office:time-value",
                          "office:boolean-value", "office:string-value", "office:currency", "calcext:value-type",
                          "table:formula"})
        celda->QuitarAtributo(QLatin1String(a));
    std::erase_if(celda->hijos, [](const auto& h) {
        return h->tipo != NodoXml::Tipo::Elemento || h->nombre != QLatin1String("office:annotation");
    });
}

// Keeps the first paragraph's style (and its first span's) for the text written over it.
NodoXml* ParrafoOdfConFormato(NodoXml* celda, const NodoXml* modelo)
{
    NodoXml* p = celda->InsertarElemento(QStringLiteral("text:p"));
    if (!modelo)
        return p;
    if (modelo->TieneAtributo(QStringLiteral("text:style-name")))
        p->FijarAtributo(QStringLiteral("text:style-name"), modelo->Atributo(QStringLiteral("text:style-name")));
    if (const NodoXml* span = modelo->Hijo(QStringLiteral("text:span"));
        span && span->TieneAtributo(QStringLiteral("text:style-name"))) {
        NodoXml* s = p->InsertarElemento(QStringLiteral("text:span"));
        s->FijarAtributo(QStringLiteral("text:style-name"), span->Atributo(QStringLiteral("text:style-name")));
        return s;
    }
    return p;
}

// ---------------------------------------------------------------------------------------
// Pictures: the part that holds the PNG, and the links the formats need to show it.

constexpr qint64 kEmuPorMm = 36000;

bool LeerParte(const ArchivoZip& zip, const QString& parte, DocumentoXml& xml, QString* error);

// The path of package part `destino` as a link from part `origen` writes it.
QString RutaRelativa(const QString& origen, const QString& destino)
{
    QStringList o = origen.split(QLatin1Char('/'));
    o.removeLast();
    const QStringList d = destino.split(QLatin1Char('/'));
    qsizetype i = 0;
    while (i < o.size() && i < d.size() - 1 && o[i] == d[i])
        ++i;
    QStringList r;
    for (qsizetype k = i; k < o.size(); ++k)
        r << QStringLiteral("..");
    for (qsizetype k = i; k < d.size(); ++k)
        r << d[k];
    return r.join(QLatin1Char('/'));
}

QString Mm(double mm) { return QString::number(mm, 'f', 2) + QStringLiteral("mm"); }
QString Emu(double mm) { return QString::number(std::llround(mm * kEmuPorMm)); }

// An element written as markup, put under `padre` at `posicion` (-1: last).
NodoXml* InsertarMarcado(NodoXml* padre, const QString& marcado, int posicion = -1)
{
    DocumentoXml d;
    QString error;
    if (!d.Leer(marcado.toUtf8(), &error) || !d.Raiz())
        return nullptr;
    std::unique_ptr<NodoXml> n = d.Raiz()->Copia();
    n->padre = padre;
    NodoXml* r = n.get();
    if (posicion < 0 || posicion > int(padre->hijos.size()))
        padre->hijos.push_back(std::move(n));
    else
        padre->hijos.insert(padre->hijos.begin() + posicion, std::move(n));
    return r;
}

void DeclararEspacio(NodoXml* raiz, const QString& prefijo, const QString& uri)
{
    const QString atributo = QStringLiteral("xmlns:") + prefijo;
    if (!raiz->TieneAtributo(atributo))
        raiz->FijarAtributo(atributo, uri);
}

// A new part name in the package: `base` + the first free number + `extension`.
QString NombreLibre(const ArchivoZip& zip, const QString& base, const QString& extension)
{
    for (int i = 1;; ++i) {
        const QString nombre = base + QString::number(i) + extension;
        if (!zip.Datos(nombre))
            return nombre;
    }
}

// Office Open XML: the package's content types know PNG, and `parte` (when given) its type.
void TiposDeContenido(ArchivoZip& zip, const QString& parte = {}, const QString& tipo = {})
{
    DocumentoXml tipos;
    QString error;
    if (!LeerParte(zip, QStringLiteral("[Content_Types].xml"), tipos, &error))
        return;
    NodoXml* raiz = tipos.Raiz();
    bool png = false;
    for (const NodoXml* d : raiz->Hijos(QStringLiteral("Default")))
        png = png || d->Atributo(QStringLiteral("Extension")).compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
    if (!png) {
        NodoXml* d = raiz->InsertarElemento(QStringLiteral("Default"), 0);
        d->FijarAtributo(QStringLiteral("Extension"), QStringLiteral("png"));
        d->FijarAtributo(QStringLiteral("ContentType"), QStringLiteral("image/png"));
    }
    if (!parte.isEmpty()) {
        NodoXml* o = raiz->InsertarElemento(QStringLiteral("Override"));
        o->FijarAtributo(QStringLiteral("PartName"), QLatin1Char('/') + parte);
        o->FijarAtributo(QStringLiteral("ContentType"), tipo);
    }
    zip.Poner(QStringLiteral("[Content_Types].xml"), tipos.Escribir());
}

// Office Open XML: adds a relationship of `origen` (made when it has none) and answers its id.
QString Relacionar(ArchivoZip& zip, const QString& origen, const QString& tipo, const QString& destino)
{
    const qsizetype barra = origen.lastIndexOf(QLatin1Char('/'));
    const QString rels = origen.left(barra + 1) + QStringLiteral("_rels/") + origen.mid(barra + 1) + QStringLiteral(".rels");
    DocumentoXml xml;
    QString error;
    if (!LeerParte(zip, rels, xml, &error))
        xml.Leer(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>"),
                 &error);
    QSet<QString> usados;
    for (const NodoXml* r : xml.Raiz()->Hijos(QStringLiteral("Relationship")))
        usados.insert(r->Atributo(QStringLiteral("Id")));
    QString id;
    for (int i = 1; id.isEmpty() || usados.contains(id); ++i)
        id = QStringLiteral("rIdQuenza%1").arg(i);
    NodoXml* r = xml.Raiz()->InsertarElemento(QStringLiteral("Relationship"));
    r->FijarAtributo(QStringLiteral("Id"), id);
    r->FijarAtributo(QStringLiteral("Type"), tipo);
    r->FijarAtributo(QStringLiteral("Target"), destino);
    zip.Poner(rels, xml.Escribir());
    return id;
}

const QString kRelImagen = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image");
const QString kEspacioR = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// OpenDocument: the picture in the package, listed in its manifest; answers its path.
QString ImagenOdf(ArchivoZip& zip, const QByteArray& png)
{
    const QString ruta = NombreLibre(zip, QStringLiteral("Pictures/quenza"), QStringLiteral(".png"));
    zip.Poner(ruta, png, false);
    DocumentoXml manifiesto;
    QString error;
    if (LeerParte(zip, QStringLiteral("META-INF/manifest.xml"), manifiesto, &error)) {
        NodoXml* e = manifiesto.Raiz()->InsertarElemento(QStringLiteral("manifest:file-entry"));
        e->FijarAtributo(QStringLiteral("manifest:full-path"), ruta);
        e->FijarAtributo(QStringLiteral("manifest:media-type"), QStringLiteral("image/png"));
        zip.Poner(QStringLiteral("META-INF/manifest.xml"), manifiesto.Escribir());
    }
    return ruta;
}

// OpenDocument: a frame `lado` mm square showing the picture at `ruta`.
QString MarcoOdf(const QString& ruta, double lado, const QString& anclaje)
{
    return QStringLiteral("<draw:frame draw:name=\"%1\" %2 svg:width=\"%3\" svg:height=\"%3\" draw:z-index=\"0\">"
                          "<draw:image xlink:href=\"%1\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/>"
                          "</draw:frame>")
        .arg(ruta, anclaje, Mm(lado));
}

void EspaciosOdf(NodoXml* raiz)
{
    DeclararEspacio(raiz, QStringLiteral("draw"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"));
    DeclararEspacio(raiz, QStringLiteral("svg"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"));
    DeclararEspacio(raiz, QStringLiteral("xlink"), QStringLiteral("http://www.w3.org/1999/xlink"));
}

bool LeerParte(const ArchivoZip& zip, const QString& parte, DocumentoXml& xml, QString* error)
{
    const QByteArray* datos = zip.Datos(parte);
    if (!datos) {
        *error = QStringLiteral("falta la parte %1").arg(parte);
        return false;
    }
    return xml.Leer(*datos, error);
}

// ---------------------------------------------------------------------------------------
// OpenDocument spreadsheet

class HojaOds : public HojaPlantilla {
public:
    bool Abrir(const QString& archivo, QString* error)
    {
        if (!m_zip.LeerArchivo(archivo, error))
            return false;
        if (!LeerParte(m_zip, QStringLiteral("content.xml"), m_contenido, error)) {
            *error = QStringLiteral("El archivo '%1' no es una hoja de cálculo válida (%2).").arg(archivo, *error);
            return false;
        }
        NodoXml* cuerpo = m_contenido.Raiz()->Hijo(QStringLiteral("office:body"));
        m_libro = cuerpo ? cuerpo->Hijo(QStringLiteral("office:spreadsheet")) : nullptr;
        if (!m_libro) {
            *error = QStringLiteral("El archivo '%1' no es una hoja de cálculo.").arg(archivo);
            return false;
        }
        return true;
    }

    bool SeleccionarHoja(const QString& nombre) override
    {
        for (NodoXml* t : m_libro->Hijos(QStringLiteral("table:table"))) {
            if (t->Atributo(QStringLiteral("table:name")).compare(nombre, Qt::CaseInsensitive) == 0) {
                m_hoja = t;
                return true;
            }
        }
        return false;
    }

    bool Escribir(const QString& referencia, const Valor& valor) override
    {
        NodoXml* celda = Celda(referencia, true);
        if (!celda)
            return false;
        const NodoXml* modelo = celda->Hijo(QStringLiteral("text:p"));
        std::unique_ptr<NodoXml> copiaModelo = modelo ? modelo->Copia() : nullptr;
        VaciarCeldaOdf(celda);
        QString mostrado;
        switch (valor.tipo()) {
        case Valor::Tipo::Entero:
        case Valor::Tipo::Numero:
            celda->FijarAtributo(QStringLiteral("office:value-type"), QStringLiteral("float"));
            celda->FijarAtributo(QStringLiteral("office:value"), NumeroPlano(valor.aNumero()));
            mostrado = NumeroPlano(valor.aNumero());
            break;
        case Valor::Tipo::Fecha:
            celda->FijarAtributo(QStringLiteral("office:value-type"), QStringLiteral("date"));
            celda->FijarAtributo(QStringLiteral("office:date-value"), valor.aFecha().toString(Qt::ISODate));
            mostrado = valor.aFecha().toString(QStringLiteral("dd/MM/yyyy"));
            break;
        default:
            mostrado = valor.aTexto();
            if (mostrado.isEmpty())
                return true;
            celda->FijarAtributo(QStringLiteral("office:value-type"), QStringLiteral("string"));
            break;
        }
        TextoOdf(ParrafoOdfConFormato(celda, copiaModelo.get()), mostrado);
        return true;
    }

    bool Imagen(const QString& referencia, const QByteArray& png, double lado) override
    {
        NodoXml* celda = Celda(referencia, true);
        if (!celda)
            return false;
        EspaciosOdf(m_contenido.Raiz());
        // Anchored to the cell, over what it shows.
        return InsertarMarcado(celda, MarcoOdf(ImagenOdf(m_zip, png), lado, QStringLiteral("svg:x=\"0mm\" svg:y=\"0mm\"")), 0);
    }

    std::optional<QString> Leer(const QString& referencia) const override
    {
        NodoXml* celda = const_cast<HojaOds*>(this)->Celda(referencia, false);
        if (!celda)
            return std::nullopt;
        const QString tipo = celda->Atributo(QStringLiteral("office:value-type"));
        if (tipo == QLatin1String("float") || tipo == QLatin1String("percentage") || tipo == QLatin1String("currency"))
            return NumeroPlano(celda->Atributo(QStringLiteral("office:value")).toDouble());
        if (tipo == QLatin1String("date"))
            return celda->Atributo(QStringLiteral("office:date-value")).left(10);
        return TextoDeCeldaOdf(celda);
    }

    bool Guardar(const QString& archivo) override
    {
        // Only the chosen sheet prints: the others are hidden in the copy.
        NodoXml* estilos = m_contenido.Raiz()->Hijo(QStringLiteral("office:automatic-styles"));
        if (!estilos)
            estilos = m_contenido.Raiz()->InsertarElemento(QStringLiteral("office:automatic-styles"), m_libro->padre->Indice());
        NodoXml* oculta = estilos->InsertarElemento(QStringLiteral("style:style"));
        oculta->FijarAtributo(QStringLiteral("style:name"), QStringLiteral("taQuenzaOculta"));
        oculta->FijarAtributo(QStringLiteral("style:family"), QStringLiteral("table"));
        oculta->InsertarElemento(QStringLiteral("style:table-properties"))
            ->FijarAtributo(QStringLiteral("table:display"), QStringLiteral("false"));
        for (NodoXml* t : m_libro->Hijos(QStringLiteral("table:table")))
            if (t != m_hoja)
                t->FijarAtributo(QStringLiteral("table:style-name"), QStringLiteral("taQuenzaOculta"));
        // Cached settings would reopen on a hidden sheet.
        m_zip.Poner(QStringLiteral("content.xml"), m_contenido.Escribir());
        ArchivoZip copia;
        for (const auto& e : m_zip.Entradas())
            if (e.nombre != QLatin1String("settings.xml"))
                copia.Poner(e.nombre, e.datos, e.comprimida);
        return copia.GuardarArchivo(archivo);
    }

private:
    NodoXml* Celda(const QString& referencia, bool crear)
    {
        std::optional<Direccion> d = LeerDireccion(referencia);
        if (!d) {
            d = RangoConNombre(referencia);
            if (!d)
                return nullptr;
        }
        std::vector<NodoXml*> filas;
        FilasOdf(m_hoja, filas);
        NodoXml* fila = Separar(filas, kRepFilas, d->fila, m_hoja, crear ? NuevaFilaOdf : nullptr);
        if (!fila)
            return nullptr;
        return Separar(CeldasOdf(fila, true), kRepColumnas, d->columna, fila, crear ? NuevaCeldaOdf : nullptr);
    }

    std::optional<Direccion> RangoConNombre(const QString& nombre) const
    {
        std::vector<NodoXml*> rangos;
        m_libro->Buscar(QStringLiteral("table:named-range"), rangos);
        const QString hoja = m_hoja->Atributo(QStringLiteral("table:name"));
        for (const NodoXml* r : rangos) {
            if (r->Atributo(QStringLiteral("table:name")).compare(nombre, Qt::CaseInsensitive) != 0)
                continue;
            const auto rango = LeerRango(r->Atributo(QStringLiteral("table:cell-range-address")), QLatin1Char('.'));
            if (rango && rango->first.compare(hoja, Qt::CaseInsensitive) == 0)
                return rango->second;
            return std::nullopt;
        }
        return std::nullopt;
    }

    ArchivoZip m_zip;
    DocumentoXml m_contenido;
    NodoXml* m_libro = nullptr;
    NodoXml* m_hoja = nullptr;
};

// ---------------------------------------------------------------------------------------
// Office Open XML spreadsheet

QString RutaRelacion(const QString& base, const QString& destino)
{
    if (destino.startsWith(QLatin1Char('/')))
        return destino.mid(1);
    QStringList partes = base.split(QLatin1Char('/'));
    partes.removeLast();
    for (const QString& p : destino.split(QLatin1Char('/'))) {
        if (p == QLatin1String("..")) {
            // A link that climbs above the package names nothing.
            if (partes.isEmpty())
                return {};
            partes.removeLast();
        }
        else if (p != QLatin1String("."))
            partes << p;
    }
    return partes.join(QLatin1Char('/'));
}

class HojaXlsx : public HojaPlantilla {
public:
    bool Abrir(const QString& archivo, QString* error)
    {
        if (!m_zip.LeerArchivo(archivo, error))
            return false;
        if (!LeerParte(m_zip, QStringLiteral("xl/workbook.xml"), m_libro, error)
            || !LeerParte(m_zip, QStringLiteral("xl/_rels/workbook.xml.rels"), m_relaciones, error)) {
            *error = QStringLiteral("El archivo '%1' no es una hoja de cálculo válida (%2).").arg(archivo, *error);
            return false;
        }
        QString ignorado;
        m_tieneEstilos = LeerParte(m_zip, QStringLiteral("xl/styles.xml"), m_estilos, &ignorado);
        if (LeerParte(m_zip, QStringLiteral("xl/sharedStrings.xml"), m_cadenas, &ignorado))
            for (NodoXml* si : m_cadenas.Raiz()->Hijos(QStringLiteral("si")))
                m_textos << TextoSi(si);
        if (m_tieneEstilos)
            LeerEstilosFecha();
        return true;
    }

    bool SeleccionarHoja(const QString& nombre) override
    {
        NodoXml* hojas = m_libro.Raiz()->Hijo(QStringLiteral("sheets"));
        if (!hojas)
            return false;
        int indice = 0;
        for (NodoXml* h : hojas->Hijos(QStringLiteral("sheet"))) {
            if (h->Atributo(QStringLiteral("name")).compare(nombre, Qt::CaseInsensitive) == 0) {
                const QString id = h->Atributo(QStringLiteral("r:id"));
                for (NodoXml* r : m_relaciones.Raiz()->Hijos(QStringLiteral("Relationship"))) {
                    if (r->Atributo(QStringLiteral("Id")) != id)
                        continue;
                    m_parteHoja = RutaRelacion(QStringLiteral("xl/workbook.xml"), r->Atributo(QStringLiteral("Target")));
                    QString error;
                    if (!LeerParte(m_zip, m_parteHoja, m_hoja, &error))
                        return false;
                    m_datos = m_hoja.Raiz()->Hijo(QStringLiteral("sheetData"));
                    if (!m_datos)
                        m_datos = m_hoja.Raiz()->InsertarElemento(QStringLiteral("sheetData"));
                    m_nodoHoja = h;
                    m_indiceHoja = indice;
                    return true;
                }
                return false;
            }
            ++indice;
        }
        return false;
    }

    bool Escribir(const QString& referencia, const Valor& valor) override
    {
        NodoXml* c = Celda(referencia, true);
        if (!c)
            return false;
        c->QuitarAtributo(QStringLiteral("t"));
        c->QuitarHijos();
        switch (valor.tipo()) {
        case Valor::Tipo::Entero:
        case Valor::Tipo::Numero:
            c->InsertarElemento(QStringLiteral("v"))->InsertarTexto(NumeroPlano(valor.aNumero()));
            break;
        case Valor::Tipo::Fecha: {
            const qint64 serie = QDate(1899, 12, 30).daysTo(valor.aFecha());
            c->InsertarElemento(QStringLiteral("v"))->InsertarTexto(QString::number(serie));
            if (!m_estilosFecha.contains(c->Atributo(QStringLiteral("s")).toInt()) || !c->TieneAtributo(QStringLiteral("s"))) {
                const int estilo = EstiloFecha();
                if (estilo >= 0)
                    c->FijarAtributo(QStringLiteral("s"), QString::number(estilo));
            }
            break;
        }
        default: {
            const QString texto = valor.aTexto();
            if (texto.isEmpty())
                break;
            c->FijarAtributo(QStringLiteral("t"), QStringLiteral("inlineStr"));
            NodoXml* t = c->InsertarElemento(QStringLiteral("is"))->InsertarElemento(QStringLiteral("t"));
            t->FijarAtributo(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            t->InsertarTexto(texto);
        }
        }
        return true;
    }

    bool Imagen(const QString& referencia, const QByteArray& png, double lado) override
    {
        std::optional<Direccion> d = LeerDireccion(referencia);
        if (!d)
            d = RangoConNombre(referencia);
        if (!d || !Celda(referencia, true))
            return false;
        const QString imagen = NombreLibre(m_zip, QStringLiteral("xl/media/quenza"), QStringLiteral(".png"));
        m_zip.Poner(imagen, png, false);
        // The sheet's own drawing when it has one, a new one otherwise.
        QString parteDibujo;
        if (const NodoXml* dibujo = m_hoja.Raiz()->Hijo(QStringLiteral("drawing")))
            parteDibujo = DestinoDeRelacion(m_parteHoja, dibujo->Atributo(QStringLiteral("r:id")));
        DocumentoXml xml;
        QString error;
        if (parteDibujo.isEmpty() || !LeerParte(m_zip, parteDibujo, xml, &error)) {
            if (m_hoja.Raiz()->Hijo(QStringLiteral("drawing")))
                return false;
            parteDibujo = NombreLibre(m_zip, QStringLiteral("xl/drawings/quenza"), QStringLiteral(".xml"));
            xml.Leer(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><xdr:wsDr "
                                       "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
                                       "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/>"),
                     &error);
            TiposDeContenido(m_zip, parteDibujo, QStringLiteral("application/vnd.openxmlformats-officedocument.drawing+xml"));
            const QString id = Relacionar(m_zip, m_parteHoja,
                                          QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing"),
                                          RutaRelativa(m_parteHoja, parteDibujo));
            DeclararEspacio(m_hoja.Raiz(), QStringLiteral("r"), kEspacioR);
            // Where the schema wants it: before the sheet's legacy drawings, tables and extensions.
            int pos = -1;
            for (const auto& h : m_hoja.Raiz()->hijos)
                if (pos < 0 && h->tipo == NodoXml::Tipo::Elemento
                    && QStringList{QStringLiteral("legacyDrawing"), QStringLiteral("legacyDrawingHF"), QStringLiteral("drawingHF"),
                                   QStringLiteral("picture"), QStringLiteral("oleObjects"), QStringLiteral("controls"),
                                   QStringLiteral("webPublishItems"), QStringLiteral("tableParts"), QStringLiteral("extLst")}
                           .contains(h->nombre))
                    pos = h->Indice();
            m_hoja.Raiz()->InsertarElemento(QStringLiteral("drawing"), pos)->FijarAtributo(QStringLiteral("r:id"), id);
        } else {
            TiposDeContenido(m_zip);
        }
        DeclararEspacio(xml.Raiz(), QStringLiteral("xdr"), QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"));
        DeclararEspacio(xml.Raiz(), QStringLiteral("a"), QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"));
        DeclararEspacio(xml.Raiz(), QStringLiteral("r"), kEspacioR);
        const QString idImagen = Relacionar(m_zip, parteDibujo, kRelImagen, RutaRelativa(parteDibujo, imagen));
        std::vector<NodoXml*> dibujos;
        xml.Raiz()->Buscar(QStringLiteral("xdr:cNvPr"), dibujos);
        const QString numero = QString::number(1000 + dibujos.size());
        InsertarMarcado(xml.Raiz(),
                        QStringLiteral("<xdr:oneCellAnchor><xdr:from><xdr:col>%1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>%2</xdr:row>"
                                       "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"%3\" cy=\"%3\"/><xdr:pic><xdr:nvPicPr>"
                                       "<xdr:cNvPr id=\"%4\" name=\"Imagen %4\"/><xdr:cNvPicPr><a:picLocks noChangeAspect=\"1\"/>"
                                       "</xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill><a:blip r:embed=\"%5\"/><a:stretch><a:fillRect/>"
                                       "</a:stretch></xdr:blipFill><xdr:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%3\" "
                                       "cy=\"%3\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic>"
                                       "<xdr:clientData/></xdr:oneCellAnchor>")
                            .arg(d->columna - 1)
                            .arg(d->fila - 1)
                            .arg(Emu(lado), numero, idImagen));
        m_zip.Poner(parteDibujo, xml.Escribir());
        return true;
    }

    std::optional<QString> Leer(const QString& referencia) const override
    {
        NodoXml* c = const_cast<HojaXlsx*>(this)->Celda(referencia, false);
        if (!c)
            return std::nullopt;
        const QString t = c->Atributo(QStringLiteral("t"));
        const NodoXml* v = c->Hijo(QStringLiteral("v"));
        const QString valor = v ? v->TextoCompleto() : QString();
        if (t == QLatin1String("s")) {
            const int i = valor.toInt();
            return i >= 0 && i < m_textos.size() ? m_textos[i] : QString();
        }
        if (t == QLatin1String("inlineStr"))
            return c->Hijo(QStringLiteral("is")) ? TextoSi(c->Hijo(QStringLiteral("is"))) : QString();
        if (t.isEmpty() && !valor.isEmpty()) {
            if (c->TieneAtributo(QStringLiteral("s")) && m_estilosFecha.contains(c->Atributo(QStringLiteral("s")).toInt()))
                return QDate(1899, 12, 30).addDays(qint64(std::floor(valor.toDouble()))).toString(Qt::ISODate);
            return NumeroPlano(valor.toDouble());
        }
        return valor;
    }

    bool Guardar(const QString& archivo) override
    {
        // Only the chosen sheet prints: the others are hidden and it becomes the active one.
        if (NodoXml* hojas = m_libro.Raiz()->Hijo(QStringLiteral("sheets")))
            for (NodoXml* h : hojas->Hijos(QStringLiteral("sheet"))) {
                if (h == m_nodoHoja)
                    h->QuitarAtributo(QStringLiteral("state"));
                else
                    h->FijarAtributo(QStringLiteral("state"), QStringLiteral("hidden"));
            }
        if (NodoXml* vistas = m_libro.Raiz()->Hijo(QStringLiteral("bookViews")))
            for (NodoXml* v : vistas->Hijos(QStringLiteral("workbookView"))) {
                v->FijarAtributo(QStringLiteral("activeTab"), QString::number(m_indiceHoja));
                v->QuitarAtributo(QStringLiteral("firstSheet"));
            }
        // Formulas that read the written cells must be worked out again.
        NodoXml* calculo = m_libro.Raiz()->Hijo(QStringLiteral("calcPr"));
        if (!calculo) {
            int pos = -1;
            if (NodoXml* nombres = m_libro.Raiz()->Hijo(QStringLiteral("definedNames")))
                pos = nombres->Indice() + 1;
            else if (NodoXml* hojas2 = m_libro.Raiz()->Hijo(QStringLiteral("sheets")))
                pos = hojas2->Indice() + 1;
            calculo = m_libro.Raiz()->InsertarElemento(QStringLiteral("calcPr"), pos);
        }
        calculo->FijarAtributo(QStringLiteral("fullCalcOnLoad"), QStringLiteral("1"));

        m_zip.Poner(QStringLiteral("xl/workbook.xml"), m_libro.Escribir());
        m_zip.Poner(m_parteHoja, m_hoja.Escribir());
        if (m_estilosCambiados)
            m_zip.Poner(QStringLiteral("xl/styles.xml"), m_estilos.Escribir());
        return m_zip.GuardarArchivo(archivo);
    }

private:
    // The part a relationship of `origen` points to; empty when there is none.
    QString DestinoDeRelacion(const QString& origen, const QString& id) const
    {
        const qsizetype barra = origen.lastIndexOf(QLatin1Char('/'));
        DocumentoXml rels;
        QString error;
        if (!LeerParte(m_zip, origen.left(barra + 1) + QStringLiteral("_rels/") + origen.mid(barra + 1) + QStringLiteral(".rels"), rels,
                       &error))
            return {};
        for (const NodoXml* r : rels.Raiz()->Hijos(QStringLiteral("Relationship")))
            if (r->Atributo(QStringLiteral("Id")) == id)
                return RutaRelacion(origen, r->Atributo(QStringLiteral("Target")));
        return {};
    }

    static QString TextoSi(const NodoXml* si)
    {
        QString r;
        std::vector<NodoXml*> ts;
        if (const NodoXml* t = si->Hijo(QStringLiteral("t")))
            return t->TextoCompleto();
        for (const NodoXml* run : si->Hijos(QStringLiteral("r")))
            if (const NodoXml* t = run->Hijo(QStringLiteral("t")))
                r += t->TextoCompleto();
        return r;
    }

    void LeerEstilosFecha()
    {
        QSet<int> formatosFecha;
        for (int id : {14, 15, 16, 17, 22})
            formatosFecha.insert(id);
        if (NodoXml* formatos = m_estilos.Raiz()->Hijo(QStringLiteral("numFmts")))
            for (NodoXml* f : formatos->Hijos(QStringLiteral("numFmt"))) {
                QString codigo = f->Atributo(QStringLiteral("formatCode")).toLower();
                codigo.remove(QRegularExpression(QStringLiteral("\"[^\"]*\"|\\[[^\\]]*\\]")));
                if (codigo.contains(QLatin1Char('d')) || codigo.contains(QLatin1Char('y')))
                    formatosFecha.insert(f->Atributo(QStringLiteral("numFmtId")).toInt());
            }
        if (NodoXml* xfs = m_estilos.Raiz()->Hijo(QStringLiteral("cellXfs"))) {
            int i = 0;
            for (NodoXml* xf : xfs->Hijos(QStringLiteral("xf"))) {
                if (formatosFecha.contains(xf->Atributo(QStringLiteral("numFmtId")).toInt()))
                    m_estilosFecha.insert(i);
                ++i;
            }
        }
    }

    // A cell format that shows dates; added to the book when it has none.
    int EstiloFecha()
    {
        if (!m_tieneEstilos)
            return -1;
        NodoXml* xfs = m_estilos.Raiz()->Hijo(QStringLiteral("cellXfs"));
        if (!xfs)
            return -1;
        const auto lista = xfs->Hijos(QStringLiteral("xf"));
        for (int i = 0; i < int(lista.size()); ++i)
            if (lista[i]->Atributo(QStringLiteral("numFmtId")) == QLatin1String("14"))
                return i;
        NodoXml* xf = xfs->InsertarElemento(QStringLiteral("xf"));
        xf->FijarAtributo(QStringLiteral("numFmtId"), QStringLiteral("14"));
        xf->FijarAtributo(QStringLiteral("fontId"), QStringLiteral("0"));
        xf->FijarAtributo(QStringLiteral("fillId"), QStringLiteral("0"));
        xf->FijarAtributo(QStringLiteral("borderId"), QStringLiteral("0"));
        xf->FijarAtributo(QStringLiteral("xfId"), QStringLiteral("0"));
        xf->FijarAtributo(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
        xfs->FijarAtributo(QStringLiteral("count"), QString::number(lista.size() + 1));
        m_estilosCambiados = true;
        m_estilosFecha.insert(int(lista.size()));
        return int(lista.size());
    }

    NodoXml* Celda(const QString& referencia, bool crear)
    {
        std::optional<Direccion> d = LeerDireccion(referencia);
        if (!d)
            d = RangoConNombre(referencia);
        if (!d || !m_datos)
            return nullptr;

        // Rows and cells may leave out their numbers; they then follow the previous one.
        NodoXml* fila = nullptr;
        qint64 numero = 0;
        int posicion = -1;
        for (NodoXml* f : m_datos->Hijos(QStringLiteral("row"))) {
            numero = f->TieneAtributo(QStringLiteral("r")) ? f->Atributo(QStringLiteral("r")).toLongLong() : numero + 1;
            if (numero == d->fila) {
                fila = f;
                break;
            }
            if (numero > d->fila) {
                posicion = f->Indice();
                break;
            }
        }
        if (!fila) {
            if (!crear)
                return nullptr;
            fila = m_datos->InsertarElemento(QStringLiteral("row"), posicion);
            fila->FijarAtributo(QStringLiteral("r"), QString::number(d->fila));
        }
        qint64 columna = 0;
        posicion = -1;
        for (NodoXml* c : fila->Hijos(QStringLiteral("c"))) {
            if (c->TieneAtributo(QStringLiteral("r"))) {
                const auto dc = LeerDireccion(c->Atributo(QStringLiteral("r")));
                columna = dc ? dc->columna : columna + 1;
            } else {
                ++columna;
            }
            if (columna == d->columna)
                return c;
            if (columna > d->columna) {
                posicion = c->Indice();
                break;
            }
        }
        if (!crear)
            return nullptr;
        NodoXml* c = fila->InsertarElemento(QStringLiteral("c"), posicion);
        c->FijarAtributo(QStringLiteral("r"), LetrasDeColumna(d->columna) + QString::number(d->fila));
        if (fila->TieneAtributo(QStringLiteral("spans")))
            fila->QuitarAtributo(QStringLiteral("spans"));
        return c;
    }

    std::optional<Direccion> RangoConNombre(const QString& nombre) const
    {
        const NodoXml* nombres = m_libro.Raiz()->Hijo(QStringLiteral("definedNames"));
        if (!nombres || !m_nodoHoja)
            return std::nullopt;
        for (const NodoXml* n : nombres->Hijos(QStringLiteral("definedName"))) {
            if (n->Atributo(QStringLiteral("name")).compare(nombre, Qt::CaseInsensitive) != 0)
                continue;
            if (n->TieneAtributo(QStringLiteral("localSheetId"))
                && n->Atributo(QStringLiteral("localSheetId")).toInt() != m_indiceHoja)
                continue;
            const auto rango = LeerRango(n->TextoCompleto(), QLatin1Char('!'));
            if (rango && rango->first.compare(m_nodoHoja->Atributo(QStringLiteral("name")), Qt::CaseInsensitive) == 0)
                return rango->second;
            return std::nullopt;
        }
        return std::nullopt;
    }

    ArchivoZip m_zip;
    DocumentoXml m_libro, m_relaciones, m_estilos, m_cadenas, m_hoja;
    bool m_tieneEstilos = false;
    bool m_estilosCambiados = false;
    QStringList m_textos;
    QSet<int> m_estilosFecha;
    QString m_parteHoja;
    NodoXml* m_datos = nullptr;
    NodoXml* m_nodoHoja = nullptr;
    int m_indiceHoja = 0;
};

// ---------------------------------------------------------------------------------------
// OpenDocument text

class DocumentoOdt : public DocumentoPlantilla {
public:
    bool Abrir(const QString& archivo, QString* error)
    {
        if (!m_zip.LeerArchivo(archivo, error))
            return false;
        if (!LeerParte(m_zip, QStringLiteral("content.xml"), m_contenido, error)) {
            *error = QStringLiteral("El archivo '%1' no es un documento válido (%2).").arg(archivo, *error);
            return false;
        }
        NodoXml* cuerpo = m_contenido.Raiz()->Hijo(QStringLiteral("office:body"));
        m_texto = cuerpo ? cuerpo->Hijo(QStringLiteral("office:text")) : nullptr;
        if (!m_texto) {
            *error = QStringLiteral("El archivo '%1' no es un documento de texto.").arg(archivo);
            return false;
        }
        BuscarTablas(m_texto);
        return true;
    }

    int Tablas() const override { return int(m_tablas.size()); }

    int Filas(int tabla) const override
    {
        if (tabla < 1 || tabla > Tablas())
            return 0;
        std::vector<NodoXml*> filas;
        FilasOdf(m_tablas[tabla - 1], filas);
        qint64 n = 0;
        for (NodoXml* f : filas)
            n += Repeticiones(f, kRepFilas);
        return int(std::min<qint64>(n, kMaxFila));
    }

    int Columnas(int tabla) const override
    {
        if (tabla < 1 || tabla > Tablas())
            return 0;
        qint64 n = 0;
        ColumnasOdf(m_tablas[tabla - 1], n);
        return int(std::min<qint64>(n, kMaxColumna));
    }

    bool EscribirCelda(int tabla, int fila, int columna, const QString& texto) override
    {
        NodoXml* celda = Celda(tabla, fila, columna);
        if (!celda)
            return false;
        std::unique_ptr<NodoXml> modelo;
        if (const NodoXml* p = celda->Hijo(QStringLiteral("text:p")))
            modelo = p->Copia();
        else if (const NodoXml* h = celda->Hijo(QStringLiteral("text:h")))
            modelo = h->Copia();
        VaciarCeldaOdf(celda);
        TextoOdf(ParrafoOdfConFormato(celda, modelo.get()), texto);
        return true;
    }

    bool ImagenEnCelda(int tabla, int fila, int columna, const QByteArray& png, double lado) override
    {
        NodoXml* celda = Celda(tabla, fila, columna);
        if (!celda)
            return false;
        std::unique_ptr<NodoXml> modelo;
        if (const NodoXml* p = celda->Hijo(QStringLiteral("text:p")))
            modelo = p->Copia();
        VaciarCeldaOdf(celda);
        NodoXml* parrafo = ParrafoOdfConFormato(celda, modelo.get());
        EspaciosOdf(m_contenido.Raiz());
        return InsertarMarcado(parrafo, MarcoOdf(ImagenOdf(m_zip, png), lado, QStringLiteral("text:anchor-type=\"as-char\"")));
    }

    std::optional<QString> LeerCelda(int tabla, int fila, int columna) const override
    {
        NodoXml* celda = const_cast<DocumentoOdt*>(this)->Celda(tabla, fila, columna);
        if (!celda)
            return std::nullopt;
        return TextoDeCeldaOdf(celda);
    }

    bool FijarVariable(const QString& nombre, const QString& texto) override
    {
        const NodoXml* decl = Declaracion(nombre);
        if (!decl)
            return false;
        const QString exacto = decl->Atributo(QStringLiteral("text:name"));
        std::vector<NodoXml*> nodos;
        for (const char* clase : {"text:user-field-decl", "text:variable-set", "text:user-field-get", "text:variable-get"})
            m_contenido.Raiz()->Buscar(QLatin1String(clase), nodos);
        for (NodoXml* n : nodos) {
            if (n->Atributo(QStringLiteral("text:name")) != exacto)
                continue;
            if (n->nombre != QLatin1String("text:variable-get") && n->nombre != QLatin1String("text:user-field-get")) {
                for (const char* a : {"office:value", "office:date-value", "office:time-value", "office:boolean-value"})
                    n->QuitarAtributo(QLatin1String(a));
                n->FijarAtributo(QStringLiteral("office:value-type"), QStringLiteral("string"));
                n->FijarAtributo(QStringLiteral("office:string-value"), texto);
            }
            if (n->nombre != QLatin1String("text:user-field-decl")) {
                n->QuitarHijos();
                n->InsertarTexto(texto);
            }
        }
        return true;
    }

    std::optional<QString> LeerVariable(const QString& nombre) const override
    {
        const NodoXml* decl = Declaracion(nombre);
        if (!decl)
            return std::nullopt;
        if (decl->TieneAtributo(QStringLiteral("office:string-value")))
            return decl->Atributo(QStringLiteral("office:string-value"));
        return decl->TextoCompleto();
    }

    bool Guardar(const QString& archivo) override
    {
        m_zip.Poner(QStringLiteral("content.xml"), m_contenido.Escribir());
        return m_zip.GuardarArchivo(archivo);
    }

private:
    void BuscarTablas(NodoXml* n)
    {
        for (const auto& h : n->hijos) {
            if (h->tipo != NodoXml::Tipo::Elemento)
                continue;
            if (h->nombre == QLatin1String("table:table"))
                m_tablas.push_back(h.get());  // tables inside tables are not counted
            else
                BuscarTablas(h.get());
        }
    }

    const NodoXml* Declaracion(const QString& nombre) const
    {
        std::vector<NodoXml*> decl;
        m_contenido.Raiz()->Buscar(QStringLiteral("text:user-field-decl"), decl);
        m_contenido.Raiz()->Buscar(QStringLiteral("text:variable-set"), decl);
        for (const NodoXml* d : decl)
            if (d->Atributo(QStringLiteral("text:name")).compare(nombre, Qt::CaseInsensitive) == 0)
                return d;
        return nullptr;
    }

    NodoXml* Celda(int tabla, int fila, int columna)
    {
        if (tabla < 1 || tabla > Tablas() || fila < 1 || columna < 1)
            return nullptr;
        std::vector<NodoXml*> filas;
        FilasOdf(m_tablas[tabla - 1], filas);
        NodoXml* f = Separar(filas, kRepFilas, fila, nullptr, nullptr);
        if (!f)
            return nullptr;
        // Merged cells count once, as the user sees them.
        return Separar(CeldasOdf(f, false), kRepColumnas, columna, nullptr, nullptr);
    }

    ArchivoZip m_zip;
    DocumentoXml m_contenido;
    NodoXml* m_texto = nullptr;
    std::vector<NodoXml*> m_tablas;
};

// ---------------------------------------------------------------------------------------
// Office Open XML text

class DocumentoDocx : public DocumentoPlantilla {
public:
    bool Abrir(const QString& archivo, QString* error)
    {
        if (!m_zip.LeerArchivo(archivo, error))
            return false;
        if (!LeerParte(m_zip, QStringLiteral("word/document.xml"), m_documento, error)) {
            *error = QStringLiteral("El archivo '%1' no es un documento válido (%2).").arg(archivo, *error);
            return false;
        }
        QString ignorado;
        m_tieneAjustes = LeerParte(m_zip, QStringLiteral("word/settings.xml"), m_ajustes, &ignorado);
        if (NodoXml* cuerpo = m_documento.Raiz()->Hijo(QStringLiteral("w:body")))
            BuscarTablas(cuerpo);
        return true;
    }

    int Tablas() const override { return int(m_tablas.size()); }

    int Filas(int tabla) const override
    {
        if (tabla < 1 || tabla > Tablas())
            return 0;
        return int(m_tablas[tabla - 1]->Hijos(QStringLiteral("w:tr")).size());
    }

    int Columnas(int tabla) const override
    {
        if (tabla < 1 || tabla > Tablas())
            return 0;
        const NodoXml* rejilla = m_tablas[tabla - 1]->Hijo(QStringLiteral("w:tblGrid"));
        return rejilla ? int(rejilla->Hijos(QStringLiteral("w:gridCol")).size()) : 0;
    }

    bool EscribirCelda(int tabla, int fila, int columna, const QString& texto) override
    {
        NodoXml* celda = Celda(tabla, fila, columna);
        if (!celda)
            return false;
        std::unique_ptr<NodoXml> formatoParrafo, formatoTexto;
        if (const NodoXml* p = celda->Hijo(QStringLiteral("w:p"))) {
            if (const NodoXml* ppr = p->Hijo(QStringLiteral("w:pPr")))
                formatoParrafo = ppr->Copia();
            if (const NodoXml* r = p->Hijo(QStringLiteral("w:r")))
                if (const NodoXml* rpr = r->Hijo(QStringLiteral("w:rPr")))
                    formatoTexto = rpr->Copia();
        }
        std::erase_if(celda->hijos, [](const auto& h) { return h->nombre != QLatin1String("w:tcPr"); });
        NodoXml* p = celda->InsertarElemento(QStringLiteral("w:p"));
        if (formatoParrafo) {
            formatoParrafo->padre = p;
            p->hijos.push_back(std::move(formatoParrafo));
        }
        NodoXml* r = p->InsertarElemento(QStringLiteral("w:r"));
        if (formatoTexto) {
            formatoTexto->padre = r;
            r->hijos.push_back(std::move(formatoTexto));
        }
        TextoEnRun(r, texto);
        return true;
    }

    bool ImagenEnCelda(int tabla, int fila, int columna, const QByteArray& png, double lado) override
    {
        NodoXml* celda = Celda(tabla, fila, columna);
        if (!celda)
            return false;
        std::unique_ptr<NodoXml> formatoParrafo;
        if (const NodoXml* p = celda->Hijo(QStringLiteral("w:p")))
            if (const NodoXml* ppr = p->Hijo(QStringLiteral("w:pPr")))
                formatoParrafo = ppr->Copia();
        std::erase_if(celda->hijos, [](const auto& h) { return h->nombre != QLatin1String("w:tcPr"); });
        NodoXml* p = celda->InsertarElemento(QStringLiteral("w:p"));
        if (formatoParrafo) {
            formatoParrafo->padre = p;
            p->hijos.push_back(std::move(formatoParrafo));
        }
        const QString imagen = NombreLibre(m_zip, QStringLiteral("word/media/quenza"), QStringLiteral(".png"));
        m_zip.Poner(imagen, png, false);
        TiposDeContenido(m_zip);
        const QString id = Relacionar(m_zip, QStringLiteral("word/document.xml"), kRelImagen,
                                      RutaRelativa(QStringLiteral("word/document.xml"), imagen));
        NodoXml* raiz = m_documento.Raiz();
        DeclararEspacio(raiz, QStringLiteral("r"), kEspacioR);
        DeclararEspacio(raiz, QStringLiteral("wp"), QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"));
        std::vector<NodoXml*> dibujos;
        raiz->Buscar(QStringLiteral("wp:docPr"), dibujos);
        const QString numero = QString::number(1000 + dibujos.size());
        return InsertarMarcado(
            p, QStringLiteral("<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"><wp:extent cx=\"%1\" "
                              "cy=\"%1\"/><wp:docPr id=\"%2\" name=\"Imagen %2\"/><a:graphic "
                              "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:graphicData "
                              "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic "
                              "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:nvPicPr><pic:cNvPr "
                              "id=\"0\" name=\"Imagen %2\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"%3\"/>"
                              "<a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
                              "cx=\"%1\" cy=\"%1\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
                              "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>")
                   .arg(Emu(lado), numero, id));
    }

    std::optional<QString> LeerCelda(int tabla, int fila, int columna) const override
    {
        NodoXml* celda = const_cast<DocumentoDocx*>(this)->Celda(tabla, fila, columna);
        if (!celda)
            return std::nullopt;
        QStringList parrafos;
        for (const NodoXml* p : celda->Hijos(QStringLiteral("w:p"))) {
            std::vector<NodoXml*> ts;
            p->Buscar(QStringLiteral("w:t"), ts);
            QString s;
            for (const NodoXml* t : ts)
                s += t->TextoCompleto();
            parrafos << s;
        }
        return parrafos.join(QLatin1Char('\n'));
    }

    bool FijarVariable(const QString& nombre, const QString& texto) override
    {
        NodoXml* variable = Variable(nombre);
        if (!variable)
            return false;
        variable->FijarAtributo(QStringLiteral("w:val"), texto);
        m_ajustesCambiados = true;
        ActualizarCampos(variable->Atributo(QStringLiteral("w:name")), texto);
        return true;
    }

    std::optional<QString> LeerVariable(const QString& nombre) const override
    {
        const NodoXml* variable = const_cast<DocumentoDocx*>(this)->Variable(nombre);
        if (!variable)
            return std::nullopt;
        return variable->Atributo(QStringLiteral("w:val"));
    }

    bool Guardar(const QString& archivo) override
    {
        m_zip.Poner(QStringLiteral("word/document.xml"), m_documento.Escribir());
        if (m_ajustesCambiados)
            m_zip.Poner(QStringLiteral("word/settings.xml"), m_ajustes.Escribir());
        return m_zip.GuardarArchivo(archivo);
    }

private:
    static void TextoEnRun(NodoXml* r, const QString& texto)
    {
        NodoXml* t = r->InsertarElemento(QStringLiteral("w:t"));
        t->FijarAtributo(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        t->InsertarTexto(texto);
    }

    void BuscarTablas(NodoXml* n)
    {
        for (const auto& h : n->hijos) {
            if (h->tipo != NodoXml::Tipo::Elemento)
                continue;
            if (h->nombre == QLatin1String("w:tbl"))
                m_tablas.push_back(h.get());
            else if (h->nombre == QLatin1String("w:sdt") || h->nombre == QLatin1String("w:sdtContent")
                     || h->nombre == QLatin1String("w:customXml"))
                BuscarTablas(h.get());
        }
    }

    NodoXml* Celda(int tabla, int fila, int columna)
    {
        if (tabla < 1 || tabla > Tablas() || fila < 1 || columna < 1)
            return nullptr;
        const auto filas = m_tablas[tabla - 1]->Hijos(QStringLiteral("w:tr"));
        if (fila > int(filas.size()))
            return nullptr;
        const auto celdas = filas[fila - 1]->Hijos(QStringLiteral("w:tc"));
        if (columna > int(celdas.size()))
            return nullptr;
        return celdas[columna - 1];
    }

    NodoXml* Variable(const QString& nombre)
    {
        if (!m_tieneAjustes)
            return nullptr;
        const NodoXml* variables = m_ajustes.Raiz()->Hijo(QStringLiteral("w:docVars"));
        if (!variables)
            return nullptr;
        for (NodoXml* v : variables->Hijos(QStringLiteral("w:docVar")))
            if (v->Atributo(QStringLiteral("w:name")).compare(nombre, Qt::CaseInsensitive) == 0)
                return v;
        return nullptr;
    }

    static bool EsCampoDe(const QString& instruccion, const QString& nombre)
    {
        const QStringList partes = instruccion.simplified().split(QLatin1Char(' '));
        return partes.size() >= 2 && partes[0].compare(QLatin1String("DOCVARIABLE"), Qt::CaseInsensitive) == 0
            && QString(partes[1]).remove(QLatin1Char('"')).compare(nombre, Qt::CaseInsensitive) == 0;
    }

    // The shown result of the fields that display the variable, so that the copy prints it
    // without a field update.
    void ActualizarCampos(const QString& nombre, const QString& texto)
    {
        std::vector<NodoXml*> simples;
        m_documento.Raiz()->Buscar(QStringLiteral("w:fldSimple"), simples);
        for (NodoXml* campo : simples) {
            if (!EsCampoDe(campo->Atributo(QStringLiteral("w:instr")), nombre))
                continue;
            std::unique_ptr<NodoXml> formato;
            if (const NodoXml* r = campo->Hijo(QStringLiteral("w:r")))
                if (const NodoXml* rpr = r->Hijo(QStringLiteral("w:rPr")))
                    formato = rpr->Copia();
            campo->QuitarHijos();
            NodoXml* r = campo->InsertarElemento(QStringLiteral("w:r"));
            if (formato) {
                formato->padre = r;
                r->hijos.push_back(std::move(formato));
            }
            TextoEnRun(r, texto);
        }

        std::vector<NodoXml*> parrafos;
        m_documento.Raiz()->Buscar(QStringLiteral("w:p"), parrafos);
        for (NodoXml* p : parrafos) {
            enum { Fuera, Instruccion, Resultado } estado = Fuera;
            QString instruccion;
            bool primero = true;
            for (NodoXml* r : p->Hijos(QStringLiteral("w:r"))) {
                if (const NodoXml* marca = r->Hijo(QStringLiteral("w:fldChar"))) {
                    const QString tipo = marca->Atributo(QStringLiteral("w:fldCharType"));
                    if (tipo == QLatin1String("begin")) {
                        estado = Instruccion;
                        instruccion.clear();
                    } else if (tipo == QLatin1String("separate")) {
                        estado = EsCampoDe(instruccion, nombre) ? Resultado : Fuera;
                        primero = true;
                    } else if (tipo == QLatin1String("end")) {
                        estado = Fuera;
                    }
                    continue;
                }
                if (estado == Instruccion) {
                    for (const NodoXml* it : r->Hijos(QStringLiteral("w:instrText")))
                        instruccion += it->TextoCompleto();
                } else if (estado == Resultado) {
                    for (NodoXml* t : r->Hijos(QStringLiteral("w:t"))) {
                        t->QuitarHijos();
                        if (primero) {
                            t->FijarAtributo(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                            t->InsertarTexto(texto);
                            primero = false;
                        }
                    }
                }
            }
        }
    }

    ArchivoZip m_zip;
    DocumentoXml m_documento, m_ajustes;
    bool m_tieneAjustes = false;
    bool m_ajustesCambiados = false;
    std::vector<NodoXml*> m_tablas;
};

} // namespace

std::unique_ptr<HojaPlantilla> HojaPlantilla::Abrir(const QString& archivo, QString* error)
{
    const QString sufijo = QFileInfo(archivo).suffix().toLower();
    if (sufijo == QLatin1String("xlsx") || sufijo == QLatin1String("xlsm")) {
        auto h = std::make_unique<HojaXlsx>();
        if (h->Abrir(archivo, error))
            return h;
        return nullptr;
    }
    auto h = std::make_unique<HojaOds>();
    if (h->Abrir(archivo, error))
        return h;
    return nullptr;
}

std::unique_ptr<DocumentoPlantilla> DocumentoPlantilla::Abrir(const QString& archivo, QString* error)
{
    const QString sufijo = QFileInfo(archivo).suffix().toLower();
    if (sufijo == QLatin1String("docx") || sufijo == QLatin1String("docm")) {
        auto d = std::make_unique<DocumentoDocx>();
        if (d->Abrir(archivo, error))
            return d;
        return nullptr;
    }
    auto d = std::make_unique<DocumentoOdt>();
    if (d->Abrir(archivo, error))
        return d;
    return nullptr;
}
