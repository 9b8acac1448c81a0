#include "plantillasprueba.h"
#include "printxt.h"
#include "superficiegrabada.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Tipo = Trazo::Tipo;

// A print run on the recording surface with a mask given as text (lines joined with CR LF).
class Impresora : public ::testing::Test {
protected:
    void Cargar(const QString& mascara) { Cargar(mascara.toUtf8()); }
    void Cargar(const QByteArray& mascara)
    {
        auto sup = std::make_unique<SuperficieGrabada>(QSizeF(200, 287));
        m_sup = sup.get();
        m_prn = std::make_unique<PrinTxt>(std::move(sup));
        m_pagina = 1;
        const QString ruta = m_dir.filePath(QStringLiteral("m.txt"));
        ASSERT_TRUE(EscribirArchivo(ruta, mascara));
        ASSERT_TRUE(m_prn->CargaMascaras(ruta));
    }

    void Imprimir(qint16 seccion = 0, const ValoresMascara& valores = {}) { m_prn->Imprimir(seccion, m_pagina, valores); }
    std::vector<Trazo> Textos() const { return m_sup->De(Tipo::Texto); }
    std::vector<Trazo> Lineas() const { return m_sup->De(Tipo::Linea); }

    QTemporaryDir m_dir;
    SuperficieGrabada* m_sup = nullptr;
    std::unique_ptr<PrinTxt> m_prn;
    int m_pagina = 1;
};

TEST_F(Impresora, PositionAlignmentStyleAndTheNinthField)
{
    Cargar(QStringLiteral("[C,100,20,Arial,12,NI,0,]TOTAL\r\n[,,,,,,0,]*"));
    Imprimir();
    const auto t = Textos();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].texto, QStringLiteral("TOTAL"));
    EXPECT_EQ(t[0].fuente, (FuenteImpresion{QStringLiteral("Arial"), 12, true, true, false}));
    EXPECT_GT(t[0].ancho, 5);
    EXPECT_NEAR(t[0].a.x() + t[0].ancho / 2, 100, 1e-9);
    EXPECT_EQ(t[0].a.y(), 20);
    // Empty coordinates keep the position (rounded to whole millimetres) after TOTAL.
    EXPECT_EQ(t[1].a, QPointF(std::nearbyint(100 + t[0].ancho / 2), 20));
    // Style letters left out switch the style off.
    EXPECT_FALSE(t[1].fuente.negrita);

    // A ninth field moves to the next line.
    Cargar(QStringLiteral("[C,100,20,Arial,12,NI,0,,x]TOTAL\r\n[,,,,,N,0,]*"));
    Imprimir();
    ASSERT_EQ(Textos().size(), 2u);
    EXPECT_EQ(Textos()[1].a.x(), 0);
    EXPECT_GT(Textos()[1].a.y(), 20);
    EXPECT_LT(Textos()[1].a.y(), 20 + 8);

    // Right-aligned text ends at x.
    Cargar(QStringLiteral("[D,150,30,Arial,10,,0,]12.345,67"));
    Imprimir();
    ASSERT_EQ(Textos().size(), 1u);
    EXPECT_NEAR(Textos()[0].a.x() + Textos()[0].ancho, 150, 1e-9);

    // A relative X is one digit after its sign; a relative Y any length.
    Cargar(QStringLiteral("[POS,50,50]\r\n[,+5,+15,,,,0,]A\r\n[POS,50,50]\r\n[,+15,-10,,,,0,]B\r\n####\r\n[,,,,,,0,]*"));
    Imprimir();
    ASSERT_EQ(Textos().size(), 2u);
    EXPECT_EQ(Textos()[0].a, QPointF(55, 65));
    EXPECT_EQ(Textos()[1].a, QPointF(15, 40));
}

TEST_F(Impresora, ConditionsDecideWhetherTextPrints)
{
    Cargar(QStringLiteral("[,10,10,,,,30,B]\r\n"
                          "[,10,10,Courier New,20,,0,N]never\r\n"
                          "[,10,20,,,,0,B]yes\r\n"
                          "[,10,30,,,,0,C]   "));
    Imprimir();
    const auto t = Textos();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].texto, QStringLiteral("yes"));
    // The font of a line that did not print stays in force.
    EXPECT_EQ(t[0].fuente.nombre, QStringLiteral("Courier New"));
    EXPECT_EQ(t[0].fuente.puntos, 20);
}

TEST_F(Impresora, WidthLimitCutsUntilStrictlyNarrower)
{
    const QString largo = QStringLiteral("Jamón ibérico de bellota cortado a cuchillo, pieza entera");
    Cargar(QStringLiteral("[,10,10,Arial,10,,30,]") + largo);
    Imprimir();
    ASSERT_EQ(Textos().size(), 1u);
    const Trazo t = Textos()[0];
    EXPECT_LT(t.ancho, 30);
    ASSERT_LT(t.texto.size(), largo.size());
    EXPECT_TRUE(largo.startsWith(t.texto));
    SuperficieGrabada medida;
    medida.FijarFuente(t.fuente);
    EXPECT_GE(medida.AnchoTexto(largo.left(t.texto.size() + 1)), 30);

    // A limit no character fits in leaves nothing, and "B" then holds back the line.
    Cargar(QStringLiteral("[,10,10,Arial,10,,0.1,B]") + largo);
    Imprimir();
    EXPECT_TRUE(Textos().empty());
}

// A text longer than its line's limit comes in pieces that each fit, whole words first, so
// that printing the section once per piece wraps it; the fonts of the run stay as they were.
TEST_F(Impresora, TextSplitsIntoPiecesThatFitTheLineOfItsPlaceholder)
{
    const QString largo = QStringLiteral("Cortar en filetes finos sin piel ni espinas y envasar al vacío por raciones de 200 g "
                                         "PALABRAMUYLARGAQUENOCABEENNINGUNALINEADELCOMENTARIO fin");
    Cargar(QStringLiteral("[,0,0,Courier,9,N,0,]X\r\n[,13,+4,Arial,7.5,,44,]- @DESCRIPCION\r\n[D,80,+0,,,,0,]@PRECIO\r\n####\r\n[,0,0,,,,,]Y"));
    const QStringList trozos = m_prn->PartirTexto(0, QStringLiteral("@DESCRIPCION"), largo);
    ASSERT_GE(trozos.size(), 4);
    EXPECT_EQ(trozos.join(QString()).remove(QLatin1Char(' ')), QString(largo).remove(QLatin1Char(' ')));
    EXPECT_EQ(trozos.first(), largo.left(trozos.first().size()));  // whole words: it ends where a blank was
    EXPECT_EQ(largo.at(trozos.first().size()), QLatin1Char(' '));
    SuperficieGrabada medida;
    FuenteImpresion arial;
    arial.nombre = QStringLiteral("Arial");
    arial.puntos = 7.5;
    medida.FijarFuente(arial);
    for (const QString& t : trozos)
        EXPECT_LT(medida.AnchoTexto(QStringLiteral("- ") + t), 44) << t.toStdString();
    // Nothing to split: no limit, another mark, a short text, another section.
    EXPECT_EQ(m_prn->PartirTexto(0, QStringLiteral("@PRECIO"), largo), QStringList{largo});
    EXPECT_EQ(m_prn->PartirTexto(0, QStringLiteral("@NADA"), largo), QStringList{largo});
    EXPECT_EQ(m_prn->PartirTexto(0, QStringLiteral("@DESCRIPCION"), QStringLiteral("corto")), QStringList{QStringLiteral("corto")});
    EXPECT_EQ(m_prn->PartirTexto(1, QStringLiteral("@DESCRIPCION"), largo), QStringList{largo});

    Imprimir(0, {ValorMascara(Valor(trozos[0]), QStringLiteral("@DESCRIPCION")), ValorMascara(Valor(QStringLiteral("1,00")), QStringLiteral("@PRECIO"))});
    Imprimir(1);
    ASSERT_EQ(Textos().size(), 4u);
    EXPECT_EQ(Textos()[1].texto, QStringLiteral("- ") + trozos[0]);  // whole: it fits
    EXPECT_EQ(Textos()[2].fuente.nombre, QStringLiteral("Arial"));
    EXPECT_EQ(Textos()[3].fuente.nombre, QStringLiteral("Arial"));  // the run's font carried on
}

TEST_F(Impresora, LinesBoxesOvalsAndPaper)
{
    Cargar(QStringLiteral("[RAYA,1,10,190,50,Y>250]\r\n"
                          "[POS,0,260]\r\n"
                          "[RAYAH,3,10,190,50,Y>250]\r\n"
                          "[RAYAV,2,10,20,W,]\r\n"
                          "[CUADRO,1,10,20,30,40,]\r\n"
                          "[OVALO,1,10,10,10,50,]\r\n"
                          "[OVALO,1,10,10,50,30,]\r\n"
                          "[RAYA,1,0,10,5,B]\r\n"
                          "[RAYA,1,0,10,6,B] x"));
    Imprimir();
    const auto l = Lineas();
    ASSERT_EQ(l.size(), 1u + 1 + 4 + 1);
    EXPECT_EQ(l[0].a, QPointF(10, 50));
    EXPECT_EQ(l[0].b, QPointF(190, 50));
    EXPECT_EQ(l[0].grosor, 3);
    EXPECT_EQ(l[1].a, QPointF(200, 10));
    EXPECT_EQ(l[1].b, QPointF(200, 20));
    const std::vector<std::pair<QPointF, QPointF>> cuadro{
        {{10, 20}, {30, 20}}, {{30, 20}, {30, 40}}, {{30, 40}, {10, 40}}, {{10, 40}, {10, 20}}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(l[2 + i].a, cuadro[i].first);
        EXPECT_EQ(l[2 + i].b, cuadro[i].second);
    }
    EXPECT_EQ(l[6].a.y(), 6);
    const auto e = m_sup->De(Tipo::Elipse);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].caja, QRectF(10, 10, 40, 20));

    Cargar(QStringLiteral("[PAPEL,a4]\r\n[PAPEL,A5]\r\n[PAPEL,70]"));
    Imprimir();
    const auto p = m_sup->De(Tipo::Papel);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].grosor, 9);
    EXPECT_EQ(p[1].grosor, 11);
    EXPECT_EQ(p[2].grosor, 70);
}

TEST_F(Impresora, PlainLinesPrintDownThePageAndCommentsDoNot)
{
    Cargar(QStringLiteral("[POS,20,30]\r\nuno\r\n'comentario\r\n;otro\r\n\r\n[sin cierre\r\ndos"));
    Imprimir();
    const auto t = Textos();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].a, QPointF(20, 30));
    EXPECT_EQ(t[1].texto, QStringLiteral("[sin cierre"));
    EXPECT_EQ(t[1].a.x(), 0);
    EXPECT_GT(t[1].a.y(), t[0].a.y());
    // The empty line moved down one line too.
    EXPECT_NEAR(t[1].a.y() - 30, 2 * (t[2].a.y() - t[1].a.y()), 1e-9);
}

TEST_F(Impresora, PageBreakRaisesTheEventAndCountsThePage)
{
    Cargar(QStringLiteral("[,10,100,,,,0,]a\r\n[PAGINA]\r\n[,+5,+5,,,,0,]b\r\n[P\u00C1GINA,Y>300]\r\n[ PAGINA]"));
    int eventos = 0;
    QObject::connect(m_prn.get(), &PrinTxt::SaltoPagina, [&](bool& cancelar) {
        ++eventos;
        EXPECT_FALSE(cancelar);
    });
    Imprimir();
    EXPECT_EQ(eventos, 1);
    EXPECT_EQ(m_pagina, 2);
    const auto t = Textos();
    ASSERT_EQ(t.size(), 3u);  // "[ PAGINA]" is a text line, not a break
    EXPECT_EQ(t[1].pagina, 2);
    EXPECT_EQ(t[1].a, QPointF(5, 5));  // the new page starts at its corner
    EXPECT_EQ(m_sup->De(Tipo::NuevaPagina).size(), 1u);

    // Masks in Windows-1252 and in UTF-8 break pages alike.
    for (const QByteArray& bytes : {QByteArray("[P\xC1GINA]\r\n"), QByteArray("[P\xC3\x81GINA]\r\n")}) {
        Cargar(bytes);
        Imprimir();
        EXPECT_EQ(m_pagina, 2);
        EXPECT_EQ(m_sup->De(Tipo::NuevaPagina).size(), 1u);
    }
}

TEST_F(Impresora, TheBreaksHandlerMayCancelForTheCallOrPrintTheFootFirst)
{
    Cargar(QStringLiteral("[PAGINA]\r\n[PAGINA]\r\n[PAGINA]"));
    std::vector<bool> recibidos;
    QObject::connect(m_prn.get(), &PrinTxt::SaltoPagina, [&](bool& cancelar) {
        recibidos.push_back(cancelar);
        if (recibidos.size() == 1)
            cancelar = true;
    });
    Imprimir();
    EXPECT_EQ(recibidos, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(m_pagina, 1);
    EXPECT_TRUE(m_sup->De(Tipo::NuevaPagina).empty());
    // The next call starts again with cancel off.
    Imprimir();
    EXPECT_EQ(recibidos.size(), 6u);
    EXPECT_FALSE(recibidos[3]);
    EXPECT_EQ(m_pagina, 4);

    // The handler may print the foot on the old page.
    Cargar(QStringLiteral("[,0,200,,,,0,]linea\r\n[PAGINA,Y>150]\r\n####\r\n[,0,280,,,,0,]pie"));
    QObject::connect(m_prn.get(), &PrinTxt::SaltoPagina, [&](bool&) {
        int pagina = m_pagina;
        m_prn->Imprimir(1, pagina, {});
    });
    Imprimir();
    const auto t = Textos();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].texto, QStringLiteral("pie"));
    EXPECT_EQ(t[1].pagina, 1);
    EXPECT_EQ(m_pagina, 2);
}

// A picture is looked for in the current folder, then beside the mask wherever the program runs.
TEST_F(Impresora, PicturesComeFromTheCurrentFolderOrBesideTheMask)
{
    QImage(8, 4, QImage::Format_RGB32).save(m_dir.filePath(QStringLiteral("logo.png")));
    const QString antes = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    Cargar(QStringLiteral("[BITMAP,logo.png,10,20,50,40,]\r\n[BITMAP,noexiste.bmp,10,20,50,40,]\r\n"
                          "[BITMAP,logo.png,10,20,50,40,N]\r\n[BITMAP,logo.png,50,20,10,40,]"));
    Imprimir();
    QDir::setCurrent(antes);
    const auto im = m_sup->De(Tipo::Imagen);
    ASSERT_EQ(im.size(), 2u);
    EXPECT_EQ(im[0].caja, QRectF(10, 20, 40, 20));
    EXPECT_EQ(im[0].tamanoImagen, QSize(8, 4));
    EXPECT_EQ(im[1].caja.width(), -40);  // mirrored

    QImage(6, 3, QImage::Format_RGB32).save(m_dir.filePath(QStringLiteral("logo.png")));
    QTemporaryDir otra;
    QDir::setCurrent(otra.path());
    Cargar(QStringLiteral("[BITMAP,logo.png,10,20,50,40,]"));
    Imprimir();
    QDir::setCurrent(antes);
    ASSERT_EQ(m_sup->De(Tipo::Imagen).size(), 1u);
    EXPECT_EQ(m_sup->De(Tipo::Imagen)[0].tamanoImagen, QSize(6, 3));
}

TEST_F(Impresora, AMaskFullOfPageBreaksStopsWithAMessage)
{
    Avisos avisos;
    QStringList saltos;
    for (int i = 0; i < 2400; ++i)
        saltos << QStringLiteral("[PAGINA]");
    Cargar(QStringLiteral("[,10,10,,,,0,]cabecera\r\n####\r\n") + saltos.join(QStringLiteral("\r\n")));
    Imprimir(0);
    for (int linea = 0; linea < 100; ++linea)
        Imprimir(1);
    // A hundred lines get a few pages each at most, not the 240,000 the mask asks for.
    EXPECT_LE(m_sup->De(Tipo::NuevaPagina).size(), 20u + 3u * 101u);
    EXPECT_GE(m_sup->De(Tipo::NuevaPagina).size(), 20u);
    ASSERT_EQ(avisos.textos.size(), 1);
    EXPECT_TRUE(avisos.textos[0].contains(QStringLiteral("saltos de página")));
}

TEST_F(Impresora, OnlyRegularFilesAreReadAsMasksAndNothingPrintsOutsideTheSections)
{
    Avisos avisos;
    PrinTxt prn(std::make_unique<SuperficieGrabada>());
    EXPECT_FALSE(prn.CargaMascaras(QStringLiteral("/dev/zero")));
    const QString tuberia = m_dir.filePath(QStringLiteral("tuberia"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {tuberia}), 0);
    EXPECT_FALSE(prn.CargaMascaras(tuberia));  // would block for ever if opened
    // A huge text file is refused before it is read: printing it would take 25 times its size.
    const QString grande = m_dir.filePath(QStringLiteral("grande.txt"));
    ASSERT_TRUE(EscribirArchivo(grande, {}) && QFile::resize(grande, 1024 * 1024 + 1));
    EXPECT_FALSE(prn.CargaMascaras(grande));
    ASSERT_TRUE(QFile::resize(grande, 1024 * 1024));
    EXPECT_TRUE(prn.CargaMascaras(grande));
    ASSERT_EQ(avisos.textos.size(), 3);
    EXPECT_TRUE(avisos.textos[2].contains(QStringLiteral("pasa de 1 MB"))) << avisos.textos[2].toStdString();

    // The line counter counts calls until reset; nothing prints without sections or outside them.
    Cargar(QStringLiteral("x####\r\ny"));
    Imprimir(0);
    Imprimir(1);
    EXPECT_EQ(m_prn->Contador(), 2);
    m_prn->ResetContador();
    EXPECT_EQ(m_prn->Contador(), 0);

    PrinTxt sinMascara(std::make_unique<SuperficieGrabada>());
    EXPECT_FALSE(sinMascara.CargaMascaras(m_dir.filePath(QStringLiteral("no-existe.txt"))));
    int pagina = 1;
    sinMascara.Imprimir(0, pagina, {});
    EXPECT_EQ(sinMascara.Contador(), 0);

    Cargar(QStringLiteral("x"));
    Imprimir(1);
    Imprimir(-1);
    EXPECT_TRUE(m_sup->Trazos().empty());
    m_prn->Cerrar();
    EXPECT_EQ(m_sup->De(Tipo::Fin).size(), 1u);
}

TEST_F(Impresora, BadInputPrintsWhatItCanAndNeverFails)
{
    Cargar(QStringLiteral("[POS,40,40]\r\n"
                          "[,abc,xyz,,abc,,zz,]en la posicion actual\r\n"
                          "[,99999999,-99999999,,99999,NIS,,]enorme\r\n"
                          "[DESCONOCIDA,1,2,3]texto\r\n"
                          "[RAYA,x,y,z,w,]\r\n"
                          "[CUADRO,]\r\n"
                          "[OVALO,1,0,0,1e308,1e308,]\r\n"
                          "[BITMAP,]\r\n"
                          "[PAPEL,]\r\n"
                          "[\r\n]\r\n"
                          "\x01\x02\xFF\xFE[[[,,,,,,,,,,,,]]]\r\n"));
    Imprimir();
    const auto t = Textos();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0].a, QPointF(40, 40));
    EXPECT_EQ(t[0].fuente.puntos, 1);  // a size that is not a number
    EXPECT_EQ(t[1].a.x(), 32767);
    EXPECT_EQ(t[1].fuente.puntos, 1000);
    EXPECT_EQ(t[2].texto, QStringLiteral("texto"));
    for (const Trazo& l : Lineas())
        EXPECT_GE(l.grosor, 1);
}

} // namespace
