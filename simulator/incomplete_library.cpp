// A manufacturer library that lacks required entry points (DownloadMemorias and
// GeraRegistrosTipoE among them): the loader must refuse it. Used by the tests.
extern "C" {
__attribute__((visibility("default"))) int Open(const char*, const char*) { return 0; }
__attribute__((visibility("default"))) int Close() { return 0; }
__attribute__((visibility("default"))) int ImprimeLeituraX() { return 0; }
__attribute__((visibility("default"))) int LeSoftwareBasico() { return 0; }
__attribute__((visibility("default"))) int ImprimeFitaDetalhe(const char*, const char*, const char*, const char*) {
  return 0;
}
__attribute__((visibility("default"))) int ImprimeLeituraMemoriaFiscal(const char*, const char*, const char*) {
  return 0;
}
}
