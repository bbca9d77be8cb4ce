// Model-code classification: the device type code of a configured model
// code ([UPS_nn] Type), kept in the device record and sent to clients.
#pragma once

// 14 or 25 for "TARVO" codes of 12 or more characters, 30, 31, 24 or 21
// for "BRAXO" codes by their sixth character, 17 for "BRIXO", and 255 for a
// text shorter than 12 characters or with none of these beginnings.
int FindUpsModelTxt(const char *model);
