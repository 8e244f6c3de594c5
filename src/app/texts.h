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
inline constexpr wchar_t CopyFailed[] = L"Program ini tidak dapat disalin ke folder Windows, registry tidak diubah.";

// Registry restore.
inline constexpr wchar_t RestoreDone[] = L"Sukses Mengembalikan registry";
inline constexpr wchar_t RestoreFailed[] = L"Gagal Mengembalikan registry. Tidak dapat menghapus:";

// Purge log.
inline constexpr wchar_t LogHeader[] = L"Proses Pembasmian Virus...";
inline constexpr wchar_t LogRegistry[] = L"            Proses mengubah registri ... ";
inline constexpr wchar_t LogFile[] = L"            Proses menghapus file ";
inline constexpr wchar_t LogDots[] = L" ... ";
inline constexpr wchar_t LogDeleteAtRestart[] = L"            File akan dihapus saat komputer di-restart berikutnya";
inline constexpr wchar_t LogElevationDeclined[] =
    L"            Izin Administrator tidak diberikan, pembasmian diulang saat logon berikutnya";
inline constexpr wchar_t Success[] = L"Sukses";
inline constexpr wchar_t Failure[] = L"Gagal";
inline constexpr wchar_t NewLine[] = L"\r\n";

// Command line for administrators: the usage box and the log lines.
// Plain ASCII, kept narrow: it is the longest text and shown by itself.
inline constexpr char Usage[] =
    "Pemakaian: KolvaneBackdoorHeliosB.exe /scan | /basmi | /remove [/log:FILE]\r\n\r\n"
    "/scan\tMencari Backdoor.Helios.B tanpa mengubah apa pun.\r\n"
    "\tKode keluar: 0 tidak ditemukan, 1 ditemukan.\r\n"
    "/basmi\tMembasmi Backdoor.Helios.B. File yang sedang dipakai dihapus setelah restart.\r\n"
    "\tKode keluar: 0 tidak ditemukan atau sudah dihapus, 3010 restart diperlukan.\r\n"
    "/remove\tMenghapus nilai registry ssvchost.\r\n"
    "\tKode keluar: 0.\r\n"
    "/log:FILE\tMenambahkan satu baris hasil ke FILE.\r\n\r\n"
    "Kode keluar 5: akses ditolak, jalankan sebagai Administrator.\r\n"
    "Tanpa jendela, tanpa pertanyaan, tanpa restart.";
inline constexpr wchar_t RunNotFound[] = L"tidak ditemukan";
inline constexpr wchar_t RunFound[] = L"ditemukan:";
// /basmi: what became of the files and the values.
inline constexpr wchar_t RunRemovedNow[] = L"; file dan registry dihapus";
inline constexpr wchar_t RunFileRemoved[] = L"; file dihapus";
inline constexpr wchar_t RunFileAtRestart[] = L"; file sedang dipakai, dihapus setelah restart";
inline constexpr wchar_t RunValuesGone[] = L"; registry dihapus";
inline constexpr wchar_t RunValuesRemoved[] = L"registry dikembalikan";
// Followed by the values that stay.
inline constexpr wchar_t RunRefused[] = L"akses ditolak:";

// The program cannot go on.
inline constexpr wchar_t WindowFailed[] = L"Jendela program tidak dapat dibuat.";
inline constexpr wchar_t OutOfMemory[] = L"Memori tidak cukup. Program dihentikan.";
inline constexpr wchar_t InternalError[] = L"Terjadi kesalahan di dalam program. Program dihentikan.";

}  // namespace kolvane::text
