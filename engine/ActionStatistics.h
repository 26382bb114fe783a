// Form texts of an upload's origin and kind (an ActionStatisticsEnum value:
// operation in the low four bits, source in bits 4 to 7).
#pragma once

// "upload", "drag_and_drop", ...; "unknown" for 0 and for undefined codes.
const char* StatisticsOperationText(int statistics);
// "toolbar", "browser", "explorer"; "unknown" for 0 and for undefined codes.
const char* StatisticsSourceText(int statistics);
