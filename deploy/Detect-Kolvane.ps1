# Detection script for Configuration Manager and Intune.
#
# Both count an application as "installed" only when the detection script
# exits with 0 and writes something to standard output. Here "installed"
# means: nothing of Backdoor.Helios.B is left on this machine. Anything
# else (the program not copied yet, the backdoor found, a place the program
# could not look at) writes nothing, so the deployment runs the removal.
#
# The program is a Windows (GUI) program: PowerShell does not wait for one
# started with & and sets no $LASTEXITCODE, so it is started with
# Start-Process -Wait -PassThru.
param(
  [string]$Program = (Join-Path $env:ProgramData 'Kolvane\KolvaneBackdoorHeliosB.exe')
)

if (-not (Test-Path -LiteralPath $Program -PathType Leaf)) {
  exit 0
}
$scan = Start-Process -FilePath $Program -ArgumentList '/scan' -Wait -PassThru -WindowStyle Hidden
# 0: nothing of the backdoor, in either half of a 64-bit Windows.
# 1: its file or a start-up value is there. 5: a place could not be read.
if ($scan.ExitCode -eq 0) {
  Write-Output 'Backdoor.Helios.B: bersih'
}
exit 0
