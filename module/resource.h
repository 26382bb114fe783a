// Resource identifiers of the toolbar library.
#pragma once
