// qdebconv: Cuaderno 19.14 direct-debit files from the receipts waiting in
// the record database, backup copies of remittance files, and the
// verification report of a CSB 19 remittance.
#include "app/program.h"

int main() { return app::Main(); }
