#include "plantillasprueba.h"

#include "zip.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QByteArray U(const QString& s) { return s.toUtf8(); }

const char kOdfNs[] =
    R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
    R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
    R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
    R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
    R"(xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.2")";

void Odf(const QString& ruta, const QString& tipo, const QString& contenido)
{
    ArchivoZip z;
    z.Poner(QStringLiteral("mimetype"), U(tipo), false);
    z.Poner(QStringLiteral("META-INF/manifest.xml"),
            U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                             R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">)"
                             R"(<manifest:file-entry manifest:full-path="/" manifest:media-type="%1"/>)"
                             R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
                             R"(</manifest:manifest>)")
                  .arg(tipo)));
    z.Poner(QStringLiteral("content.xml"), U(contenido));
    z.GuardarArchivo(ruta);
}

} // namespace

void CrearOds(const QString& ruta, const QStringList& hojas)
{
    QString tablas;
    for (const QString& h : hojas)
        tablas += QStringLiteral(R"(<table:table table:name="%1"><table:table-column table:number-columns-repeated="8"/>)"
                                 R"(<table:table-row><table:table-cell office:value-type="string"><text:p>%1</text:p></table:table-cell>)"
                                 R"(<table:table-cell table:number-columns-repeated="7"/></table:table-row>)"
                                 R"(<table:table-row table:number-rows-repeated="19"><table:table-cell table:number-columns-repeated="8"/></table:table-row>)"
                                 R"(</table:table>)")
                      .arg(h);
    Odf(ruta, QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"),
        QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content %1><office:body><office:spreadsheet>%2)"
                       R"(<table:named-expressions><table:named-range table:name="TOTAL" table:base-cell-address="$%3.$A$1" table:cell-range-address="$%3.$D$20"/></table:named-expressions>)"
                       R"(</office:spreadsheet></office:body></office:document-content>)")
            .arg(QLatin1String(kOdfNs), tablas, hojas.value(0)));
}

void CrearXlsx(const QString& ruta, const QStringList& hojas)
{
    ArchivoZip z;
    QString tipos, hojasLibro, relaciones;
    for (int i = 0; i < hojas.size(); ++i) {
        const int n = i + 1;
        tipos += QStringLiteral(R"(<Override PartName="/xl/worksheets/sheet%1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)").arg(n);
        hojasLibro += QStringLiteral(R"(<sheet name="%1" sheetId="%2" r:id="rId%2"/>)").arg(hojas[i]).arg(n);
        relaciones += QStringLiteral(R"(<Relationship Id="rId%1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet%1.xml"/>)").arg(n);
        z.Poner(QStringLiteral("xl/worksheets/sheet%1.xml").arg(n),
                U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                 R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
                                 R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>%1</t></is></c></row>)"
                                 R"(<row r="20"><c r="C20" t="s"><v>0</v></c></row></sheetData></worksheet>)")
                      .arg(hojas[i])));
    }
    z.Poner(QStringLiteral("[Content_Types].xml"),
            U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                             R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>)"
                             R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
                             R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
                             R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
                             "%1</Types>")
                  .arg(tipos)));
    z.Poner(QStringLiteral("_rels/.rels"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    z.Poner(QStringLiteral("xl/workbook.xml"),
            U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                             R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
                             R"(<bookViews><workbookView activeTab="0"/></bookViews><sheets>%1</sheets>)"
                             R"(<definedNames><definedName name="Total">'%2'!$D$20</definedName></definedNames></workbook>)")
                  .arg(hojasLibro, hojas.value(0))));
    z.Poner(QStringLiteral("xl/_rels/workbook.xml.rels"),
            U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%1)"
                             R"(<Relationship Id="rIdE" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
                             R"(<Relationship Id="rIdS" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)")
                  .arg(relaciones)));
    z.Poner(QStringLiteral("xl/styles.xml"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
            R"(<fonts count="1"><font><sz val="11"/><name val="Liberation Sans"/></font></fonts><fills count="1"><fill><patternFill patternType="none"/></fill></fills>)"
            R"(<borders count="1"><border/></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
            R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs></styleSheet>)");
    z.Poner(QStringLiteral("xl/sharedStrings.xml"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="1" uniqueCount="1"><si><t>compartido</t></si></sst>)");
    z.GuardarArchivo(ruta);
}

void CrearOdt(const QString& ruta, int filas, int columnas)
{
    QString tabla = QStringLiteral(R"(<table:table table:name="Lineas"><table:table-column table:number-columns-repeated="%1"/>)").arg(columnas);
    for (int f = 1; f <= filas; ++f) {
        tabla += QStringLiteral("<table:table-row>");
        for (int c = 1; c <= columnas; ++c)
            tabla += QStringLiteral(R"(<table:table-cell office:value-type="string"><text:p text:style-name="Celda">%1,%2</text:p></table:table-cell>)").arg(f).arg(c);
        tabla += QStringLiteral("</table:table-row>");
    }
    tabla += QStringLiteral("</table:table>");
    const QString segunda = QStringLiteral(
        R"(<table:table table:name="Pie"><table:table-column table:number-columns-repeated="2"/>)"
        R"(<table:table-row><table:table-cell><text:p/></table:table-cell><table:table-cell><text:p/></table:table-cell></table:table-row>)"
        R"(<table:table-row><table:table-cell><text:p/></table:table-cell><table:table-cell><text:p/></table:table-cell></table:table-row></table:table>)");
    Odf(ruta, QStringLiteral("application/vnd.oasis.opendocument.text"),
        QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content %1><office:body><office:text>)"
                       R"(<text:user-field-decls><text:user-field-decl office:value-type="string" office:string-value="" text:name="Cliente"/></text:user-field-decls>)"
                       R"(<text:p>Cliente: <text:user-field-get text:name="Cliente">?</text:user-field-get></text:p>%2%3)"
                       R"(</office:text></office:body></office:document-content>)")
            .arg(QLatin1String(kOdfNs), tabla, segunda));
}

void CrearDocx(const QString& ruta, int filas, int columnas)
{
    auto tabla = [](int nf, int nc, bool texto) {
        QString t = QStringLiteral("<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblLayout w:type=\"fixed\"/></w:tblPr><w:tblGrid>");
        for (int c = 0; c < nc; ++c)
            t += QStringLiteral("<w:gridCol w:w=\"3000\"/>");
        t += QStringLiteral("</w:tblGrid>");
        for (int f = 1; f <= nf; ++f) {
            t += QStringLiteral("<w:tr>");
            for (int c = 1; c <= nc; ++c)
                t += texto ? QStringLiteral("<w:tc><w:p><w:r><w:rPr><w:b/></w:rPr><w:t>%1,%2</w:t></w:r></w:p></w:tc>").arg(f).arg(c)
                           : QStringLiteral("<w:tc><w:p/></w:tc>");
            t += QStringLiteral("</w:tr>");
        }
        return t + QStringLiteral("</w:tbl>");
    };
    ArchivoZip z;
    z.Poner(QStringLiteral("[Content_Types].xml"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
            R"(<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/></Types>)");
    z.Poner(QStringLiteral("_rels/.rels"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)");
    z.Poner(QStringLiteral("word/_rels/document.xml.rels"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/></Relationships>)");
    z.Poner(QStringLiteral("word/settings.xml"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:settings xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
            R"(<w:docVars><w:docVar w:name="Cliente" w:val="?"/></w:docVars></w:settings>)");
    z.Poner(QStringLiteral("word/document.xml"),
            U(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                             R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
                             R"(<w:p><w:r><w:t xml:space="preserve">Cliente: </w:t></w:r>)"
                             R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> DOCVARIABLE Cliente </w:instrText></w:r>)"
                             R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>?</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)"
                             "%1<w:p/>%2<w:sectPr/></w:body></w:document>")
                  .arg(tabla(filas, columnas, true), tabla(2, 2, false))));
    z.GuardarArchivo(ruta);
}

bool EsHojaDeCalculo(const QString& ruta)
{
    const QString ext = QFileInfo(ruta).suffix().toLower();
    return ext == QLatin1String("ods") || ext == QLatin1String("xlsx");
}

void CrearPlantilla(const QString& ruta, const QStringList& hojas, int filas, int columnas)
{
    const QString ext = QFileInfo(ruta).suffix().toLower();
    if (ext == QLatin1String("ods"))
        CrearOds(ruta, hojas);
    else if (ext == QLatin1String("xlsx"))
        CrearXlsx(ruta, hojas);
    else if (ext == QLatin1String("odt"))
        CrearOdt(ruta, filas, columnas);
    else
        CrearDocx(ruta, filas, columnas);
}

bool EscribirArchivo(const QString& ruta, const QByteArray& datos)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size();
}

QString TextoPdf(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
