// Feeds arbitrary bytes to the mask interpreter as a mask file: loading, placeholder
// replacement and every printer-mode directive, drawn on the recording surface.
//   LSAN_OPTIONS=suppressions=fuzz/lsan.supp fuzz_mascara -max_total_time=300 fuzz/corpus/

#include "mascara.h"
#include "superficiegrabada.h"

#include "formato.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano)
{
    const QByteArray bytes(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(tamano));
    const TextoMascara mascara = PrepararMascara(DecodificarTexto8Bits(bytes), QStringLiteral("'cabeza"));

    SuperficieGrabada superficie;
    int saltos = 0;
    InterpreteImpresora interprete([&] { return &superficie; },
                                   [&] {
                                       // Every other break is cancelled, as a document may do.
                                       if (++saltos % 2)
                                           return false;
                                       superficie.NuevaPagina();
                                       return true;
                                   });
    const ValoresMascara valores{{Valor("Bar @NIF\r\n[PAGINA]"), "@NOMBRE"},
                                 {Valor("12,50"), "@IMPORTE"},
                                 {Valor(QString())},
                                 {Valor(7)}};
    for (const QString& seccion : mascara.secciones)
        interprete.Ejecutar(SustituirMarcas(seccion, valores));
    return 0;
}
