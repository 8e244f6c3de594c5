# Detection script for Configuration Manager and Intune.
#
# Both count an application as "installed" only when the detection script
# exits with 0 and writes something to standard output, and both count
# anything on standard error as a failure of the script. Here "installed"
# means: nothing of Backdoor.Helios.B is left on this machine. Anything
# else (the program not copied yet, the backdoor found, a place the program
# could not look at, a program that is not the release, any error at all)
# writes nothing, on either stream, so the deployment runs the removal.
#
# It runs as SYSTEM at every evaluation, so it runs the program only from
# where only administrators can write, and only when the program is the
# release: its SHA-256 is the one scripts/sign writes below (the release's
# SHA256SUMS line), or, in a copy of this script that carries none, its
# Authenticode signature is valid and made by the certificate whose
# thumbprint is written below. A copy that carries neither runs nothing.
#
# The program is a Windows (GUI) program: PowerShell does not wait for one
# started with & and sets no $LASTEXITCODE, so it is started with
# Start-Process -Wait -PassThru. Written for PowerShell 2.0 and later, in
# Full Language mode: AppLocker and WDAC script rules must allow this
# script (by its signer), or Constrained Language mode blocks the .NET
# calls and the script reports "not installed".
param(
  [string]$Program = (Join-Path $env:SystemDrive 'Program Files\Kolvane\KolvaneBackdoorHeliosB.exe')
)

# The release's SHA-256, written here by scripts/sign before it signs this script.
$ReleaseSha256 = ''
# The signer's certificate thumbprint (SHA-1, as certutil and the
# certificate store show it), also written by scripts/sign.
$SignerThumbprint = ''

$ErrorActionPreference = 'Stop'
try {
  if (-not (Test-Path -LiteralPath $Program -PathType Leaf)) {
    exit 0
  }
  if ($ReleaseSha256) {
    $stream = [System.IO.File]::OpenRead($Program)
    try {
      $hash = [System.Security.Cryptography.SHA256]::Create().ComputeHash($stream)
    } finally {
      $stream.Close()
    }
    if ((($hash | ForEach-Object { $_.ToString('x2') }) -join '') -ne $ReleaseSha256.ToLower()) {
      exit 0
    }
  } elseif ($SignerThumbprint) {
    $signature = Get-AuthenticodeSignature -FilePath $Program
    if ($signature.Status -ne 'Valid' -or $signature.SignerCertificate.Thumbprint -ne $SignerThumbprint.ToUpper()) {
      exit 0
    }
  } else {
    exit 0
  }
  $scan = Start-Process -FilePath $Program -ArgumentList '/scan' -Wait -PassThru -WindowStyle Hidden
  # 0: nothing of the backdoor, in either half of a 64-bit Windows.
  # 1: its file or a start-up value is there. 5: a place could not be read.
  if ($scan.ExitCode -eq 0) {
    Write-Output 'Backdoor.Helios.B: bersih'
  }
} catch {
  # Not installed, and nothing on standard error.
}
exit 0
