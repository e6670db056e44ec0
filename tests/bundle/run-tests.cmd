@echo off
rem Runs Lanterwell's tests from this folder: run-tests [SUITE...]
"%~dp0run-tests.exe" %*
exit /b %errorlevel%
