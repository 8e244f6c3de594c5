#pragma once

#define IDI_KOLVANE 1
