// Every text the program shows, in one place.
#pragma once

namespace kolvane::text {

inline constexpr wchar_t AppTitle[] = L"Virus Windows Kolvane";
inline constexpr wchar_t InitialCaption[] = L"Kolvane";
inline constexpr wchar_t CaptionPrefix[] = L"Kolvane ";
inline constexpr wchar_t Command2Prefix[] = L"Basmi Virus ";

// Design texts of the controls.
inline constexpr wchar_t Label1[] = L"Directory Windows Anda :";
inline constexpr wchar_t Command1[] = L"Scan Windows Anda";
inline constexpr wchar_t Command2[] = L"Basmi Virus";
inline constexpr wchar_t Command3[] = L"Remove Registry";

// About text of Label3.
inline constexpr wchar_t AboutStart[] = L"Ini adalah program Kolvane ";
inline constexpr wchar_t AboutBody[] =
    L". Program ini dibuat berdasarkan informasi-informasi di internet. Remove Registry digunakan untuk "
    L"mengembalikan registry kalau Anda telah membasmi virusnya dengan AntiVirus.";
inline constexpr wchar_t AboutCredit[] = L"Program ini dibuat oleh : ";
inline constexpr wchar_t AuthorMail[] = L"haryono@example.com";

// Scan.
inline constexpr wchar_t Infected[] = L"Komputer Anda Terinfeksi Virus ";
inline constexpr wchar_t Clean[] = L"System Windows Anda Bebas Virus ";

// Arming and restart.
inline constexpr wchar_t ScanFirst[] = L"Scan Windows Dulu";
inline constexpr wchar_t RestartSoon[] = L"Komputer Anda akan di restart dalam 10 detik";
inline constexpr wchar_t ArmFailed[] = L"Registry tidak dapat diubah. Jalankan program ini sebagai Administrator.";
inline constexpr wchar_t RestartFailed[] = L"Gagal me-restart komputer. Silakan restart komputer Anda secara manual.";
inline constexpr wchar_t SelfPathUnknown[] = L"Lokasi program ini tidak dapat dibaca, registry tidak diubah.";

// Registry restore.
inline constexpr wchar_t RestoreDone[] = L"Sukses Mengembalikan registry";
inline constexpr wchar_t RestoreFailed[] = L"Gagal Mengembalikan registry. Tidak dapat menghapus:";

// Purge log.
inline constexpr wchar_t LogHeader[] = L"Proses Pembasmian Virus...";
inline constexpr wchar_t LogRegistry[] = L"            Proses mengubah registri ... ";
inline constexpr wchar_t LogFile[] = L"            Proses menghapus file ";
inline constexpr wchar_t LogDots[] = L" ... ";
inline constexpr wchar_t LogDeleteAtRestart[] = L"            File akan dihapus saat komputer di-restart berikutnya";
inline constexpr wchar_t Success[] = L"Sukses";
inline constexpr wchar_t Failure[] = L"Gagal";
inline constexpr wchar_t NewLine[] = L"\r\n";

// The program cannot go on.
inline constexpr wchar_t WindowFailed[] = L"Jendela program tidak dapat dibuat.";
inline constexpr wchar_t OutOfMemory[] = L"Memori tidak cukup. Program dihentikan.";
inline constexpr wchar_t InternalError[] = L"Terjadi kesalahan di dalam program. Program dihentikan.";

}  // namespace kolvane::text
